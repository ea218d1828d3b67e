/*
 * Filling a new row's missing values from generators and defaults.
 */
#include "datastore/missing_values.h"

#include "datastore/seqgen.h"

namespace orv {

void FillMissingValues(const MissingValueFill& fill, void** values, int32_t* lengths) {
    for (int32_t i = 0; i < fill.count; ++i) {
        if (values[i] != nullptr) continue;
        const ColumnDefnEntry* column = fill.column(fill.context, i);
        if (column == nullptr) continue;
        if (column->generatorName != nullptr) {
            const int32_t id = GenerateID(fill.tableName, column);
            values[i] = fill.generated(fill.context, column, id, &lengths[i]);
            if (values[i] != nullptr || !fill.defaultAfterGenerator) continue;
        }
        if (column->defaultValue != nullptr) values[i] = fill.fromDefault(fill.context, column, &lengths[i]);
    }
}

}  // namespace orv
