/*
 * The filling of a new row's missing values, shared by the in-memory
 * tables (AddNewRow) and the data objects (InsertRowUnit): each column
 * without a value takes the next identifier of its generator when it
 * names one, else a copy of its default when it has one. Where a value is
 * kept and in which form is the caller's, given as a record of functions.
 *
 * Thread-safety: that of GenerateID (datastore/seqgen.h) and the caller's
 * functions.
 */
#ifndef ORV_DATASTORE_MISSING_VALUES_H
#define ORV_DATASTORE_MISSING_VALUES_H

#include <cstdint>

#include "datastore/table_defn.h"

namespace orv {

/* How one caller's rows are filled. */
struct MissingValueFill {
    const char* tableName; /* the table the identifiers are generated for */
    int32_t count;         /* the row's columns */
    void* context;         /* handed to each function below */
    /* The definition of the row's column index, or null to leave it as
     * it is. Called in rising index order, once per missing value. */
    const ColumnDefnEntry* (*column)(void* context, int32_t index);
    /* The value for the identifier id (GenerateID's result; -1 when the
     * sequence gave none) in the caller's form, or null for none. IN/OUT
     * *length: the row's length of the column. */
    void* (*generated)(void* context, const ColumnDefnEntry* column, int32_t id, int32_t* length);
    /* A copy of the column's default (which it has) in the caller's form,
     * or null. IN/OUT *length: the row's length of the column. */
    void* (*fromDefault)(void* context, const ColumnDefnEntry* column, int32_t* length);
    /* True when a column whose generator gave no value takes its default
     * then. */
    bool defaultAfterGenerator;
};

/* Fills each null values[i] (i below fill.count) whose column is known:
 * from the column's generator when it names one (GenerateID of the table
 * and column), else, or when the generator gave none and
 * defaultAfterGenerator is set, from its default when it has one.
 * REQUIRES: values and lengths hold fill.count entries. */
void FillMissingValues(const MissingValueFill& fill, void** values, int32_t* lengths);

}  // namespace orv

#endif
