/*
 * Select statements and their clauses (columns, joins, the table list,
 * criteria, group by and having, order by, paging), and the conversion of
 * a result row back into a row object.
 */
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen_internal.h"

namespace orv {

const char* const kAggregateNames[7] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"};
const char* const kOperatorNames[11] = {"INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=",
                                        "AND", "OR", "LIKE", "BETWEEN"};
const char* const kJoinTypeNames[2] = {"INNER_JOIN", "LEFT_JOIN"};

namespace sqlgen {
namespace {

/* "<alias>." or "<table>." of a column, else nothing. */
bool AppendPrefix(const SqlDialect& d, std::string& out, const SelectColumn* c, const char* fallbackAlias = nullptr,
                  const char* fallbackTable = nullptr) {
    const char* prefix = c->tableAlias != nullptr    ? c->tableAlias
                         : c->tableName != nullptr   ? c->tableName
                         : fallbackAlias != nullptr  ? fallbackAlias
                                                     : fallbackTable;
    if (prefix == nullptr) return true;
    if (!AppendName(d, out, prefix)) return false;
    out += '.';
    return true;
}

bool BuildColumns(const SqlDialect& d, const Vector* columns, std::string& out) {
    TraceSelectEntry(d, "GenerateColumnsStr");
    if (columns == nullptr) return true;
    for (VectorNode* node = First(columns); node != nullptr; node = node->next) {
        auto* c = static_cast<const SelectColumn*>(node->element);
        if (c == nullptr) continue;
        if (c->aggregate == kAggregateNone) {
            if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
            if (c->columnAlias != nullptr) {
                out += " as ";
                if (!AppendName(d, out, c->columnAlias)) return false;
                out += ' ';
            }
        } else if (c->aggregate <= kAggregateAvg) {
            out += ' ';
            out += kAggregateNames[c->aggregate];
            out += '(';
            if (c->columnName != nullptr) {
                if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
                out += ')';
            } else {
                out += "*)";
            }
            if (c->columnAlias != nullptr) {
                out += " as ";
                if (!AppendName(d, out, c->columnAlias)) return false;
                out += ' ';
            }
        } else {
            LogError("Invalid Aggregate Type %d\n", c->aggregate);
            return false;
        }
        out += node->next != nullptr ? "," : " \n";
    }
    return true;
}

bool BuildTableList(const SqlDialect& d, const Vector* tables, std::string& out) {
    TraceSelectEntry(d, "GenerateTableListStr");
    if (tables == nullptr) return true;
    for (VectorNode* node = First(tables); node != nullptr; node = node->next) {
        auto* t = static_cast<const SelectTable*>(node->element);
        if (t == nullptr) continue;
        if (t->tableName != nullptr && !AppendName(d, out, t->tableName)) return false;
        if (t->tableAlias != nullptr) {
            out += d.tableAliasLead;
            if (!AppendName(d, out, t->tableAlias)) return false;
            out += ' ';
        }
        out += node->next != nullptr ? ", " : "\n";
    }
    return true;
}

bool AppendJoinTable(const SqlDialect& d, std::string& out, const char* table, const char* alias) {
    out += ' ';
    if (!AppendName(d, out, table)) return false;
    out += ' ';
    if (alias != nullptr) {
        out += d.joinAliasLead;
        if (!AppendName(d, out, alias)) return false;
        out += ' ';
    }
    return true;
}

bool BuildJoins(const SqlDialect& d, const Vector* joins, std::string& out) {
    TraceSelectEntry(d, "GenerateJoinsStr");
    if (joins == nullptr) return true;
    bool first = true;
    for (VectorNode* node = First(joins); node != nullptr; node = node->next) {
        auto* j = static_cast<const JoinSpec*>(node->element);
        if (j == nullptr) continue;
        if (first && !AppendJoinTable(d, out, j->leftTable, j->leftAlias)) return false;
        first = false;
        if (j->joinType == kJoinInner) {
            out += " inner join ";
        } else if (j->joinType == kJoinLeft) {
            out += " left join ";
        } else {
            LogError("Invalid Join Type\n");
            return false;
        }
        if (!AppendJoinTable(d, out, j->rightTable, j->rightAlias)) return false;
        if (j->leftColumns != nullptr && j->rightColumns != nullptr) {
            out += " on ";
            VectorNode* right = First(j->rightColumns);
            for (VectorNode* left = First(j->leftColumns); left != nullptr; left = left->next) {
                auto* lc = static_cast<const SelectColumn*>(left->element);
                auto* rc = right != nullptr ? static_cast<const SelectColumn*>(right->element) : nullptr;
                if (lc == nullptr || rc == nullptr) {
                    LogError("Join of %s and %s pairs fewer right columns than left ones: statement refused.\n",
                             Or(j->leftTable), Or(j->rightTable));
                    return false;
                }
                if (!AppendPrefix(d, out, lc, j->leftAlias, j->leftTable) || !AppendName(d, out, lc->columnName)) {
                    return false;
                }
                out += " = ";
                if (!AppendPrefix(d, out, rc, j->rightAlias, j->rightTable) || !AppendName(d, out, rc->columnName)) {
                    return false;
                }
                if (left->next != nullptr) out += " and ";
                right = right->next;
            }
            out += ' ';
        }
    }
    return true;
}

bool IsLogical(const CriteriaNode* n) { return n->op == kSqlAnd || n->op == kSqlOr; }

/* One comparison: [ prefix.]name op value. */
bool AppendComparison(const SqlDialect& d, std::string& out, const CriteriaNode* n) {
    const SelectColumn* c = n->column;
    if (c == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return false;
    }
    if (n->op == 0 || n->op > kSqlBetween) {
        LogError("Invalid Operator %d\n", n->op);
        return false;
    }
    const char* prefix = c->tableAlias != nullptr ? c->tableAlias : c->tableName;
    if (prefix != nullptr) {
        out += ' ';
        if (!AppendName(d, out, prefix)) return false;
        out += '.';
    }
    if (!AppendName(d, out, c->columnName)) return false;
    out += ' ';
    out += kOperatorNames[n->op];
    out += ' ';
    if (n->op == kSqlBetween) return AppendBetween(d, out, c->dataType, n->value, n->valueLength, c->columnName);
    if (n->value == nullptr) return true;
    out += ' ';
    if (!AppendCriteriaValue(d, out, c->dataType, n->value, n->valueLength, c->columnName)) return false;
    out += ' ';
    return true;
}

/* The criteria tree in order (left subtree, node, right subtree), an AND
 * or OR below another node in parentheses, so that the text groups as the
 * tree does. Walks with a stack of its own (a tree may be deep). */
bool BuildCriteria(const SqlDialect& d, const CriteriaNode* root, std::string& out) {
    struct Frame {
        const CriteriaNode* node;
        int stage;
    };
    if (root == nullptr) return true;
    std::vector<Frame> stack;
    stack.push_back({root, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        const CriteriaNode* n = f.node;
        bool grouped = n != root && IsLogical(n);
        if (f.stage == 0) {
            TraceSelectEntry(d, "GenCriteriaString");
            f.stage = 1;
            if (IsLogical(n)) {
                if (n->left == nullptr || n->right == nullptr) {
                    LogError("%s of the criteria lacks an operand: statement refused.\n", kOperatorNames[n->op]);
                    return false;
                }
                if (grouped) out += " (";
                stack.push_back({n->left, 0});
                continue;
            }
        }
        if (f.stage == 1) {
            f.stage = 2;
            if (IsLogical(n)) {
                out += ' ';
                out += kOperatorNames[n->op];
                out += ' ';
                stack.push_back({n->right, 0});
                continue;
            }
            if (!AppendComparison(d, out, n)) return false;
        }
        if (grouped) out += ") ";
        stack.pop_back();
    }
    return true;
}

bool BuildCriteriaClause(const SqlDialect& d, const CriteriaNode* root, std::string& out) {
    TraceSelectEntry(d, "GenerateCriteriaStr");
    out += "where ";
    return BuildCriteria(d, root, out);
}

bool BuildGroupBy(const SqlDialect& d, const GroupBySpec* g, std::string& out) {
    TraceSelectEntry(d, "GenerateGroupByStr");
    if (g == nullptr) return true;
    if (g->columns != nullptr && First(g->columns) != nullptr) {
        out += "group by ";
        for (VectorNode* node = First(g->columns); node != nullptr; node = node->next) {
            auto* c = static_cast<const SelectColumn*>(node->element);
            if (c == nullptr) continue;
            if (c->columnAlias != nullptr) {
                if (!AppendName(d, out, c->columnAlias)) return false;
            } else {
                if (c->tableName != nullptr) {
                    if (!AppendName(d, out, c->tableName)) return false;
                    out += '.';
                }
                if (!AppendName(d, out, c->columnName)) return false;
            }
            out += node->next != nullptr ? "," : "\n";
        }
    }
    const CriteriaNode* h = g->having;
    if (h == nullptr) return true;
    const SelectColumn* c = h->column;
    if (c == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return false;
    }
    if (h->op == 0 || h->op > kSqlBetween || IsLogical(h)) {
        LogError("Invalid Operator %d\n", h->op);
        return false;
    }
    if (c->aggregate > kAggregateAvg) {
        LogError("Invalid Aggregate Type %d\n", c->aggregate);
        return false;
    }
    out += "having ";
    out += ' ';
    if (c->aggregate != kAggregateNone) {
        out += kAggregateNames[c->aggregate];
        out += '(';
    }
    if (c->columnName != nullptr) {
        if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
    } else if (c->aggregate != kAggregateNone) {
        out += '*';
    } else {
        LogError("\nColumn Name is NULL\n");
        return false;
    }
    if (c->aggregate != kAggregateNone) out += ')';
    out += ' ';
    out += ' ';
    out += kOperatorNames[h->op];
    out += ' ';
    if (h->op == kSqlBetween) return AppendBetween(d, out, c->dataType, h->value, h->valueLength, c->columnName);
    out += ' ';
    if (!AppendCriteriaValue(d, out, c->dataType, h->value, h->valueLength, c->columnName)) return false;
    out += ' ';
    return true;
}

bool BuildSort(const SqlDialect& d, const SortSpec* s, std::string& out) {
    TraceSelectEntry(d, "GenerateSortColumnStr");
    if (s == nullptr || s->columns == nullptr || First(s->columns) == nullptr) return true;
    out += "order by ";
    for (VectorNode* node = First(s->columns); node != nullptr; node = node->next) {
        auto* c = static_cast<const SelectColumn*>(node->element);
        if (c == nullptr) continue;
        if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
        out += node->next != nullptr ? "," : " ";
    }
    out += s->ascending != 0 ? " asc " : " desc ";
    return true;
}

bool BuildSelect(const SqlDialect& d, const SelectQuery* q, std::string& out) {
    TraceSelectEntry(d, "GenSelectQuery");
    if (q == nullptr) return false;
    std::string paging;
    if (d.paging == SqlPaging::kFirstSkip) {
        if (q->limit != 0) paging += Printf("first %d ", q->limit);
        if (q->offset != 0) paging += Printf("skip %d ", q->offset);
    }
    out += "select ";
    if (HasItems(q->columns)) {
        out += paging;
        if (!BuildColumns(d, q->columns, out)) return false;
        out += "from ";
    } else if (d.paging == SqlPaging::kFirstSkip) {
        out += paging;
        out += " * from ";
    } else {
        out += "* from ";
    }
    bool joins = HasItems(q->joins);
    bool tables = HasItems(q->tables);
    if (!joins && !tables) {
        LogError("\nNo Tables To Be Selected\n");
        return false;
    }
    if (joins && !BuildJoins(d, q->joins, out)) return false;
    if (joins && tables) out += ",";
    if (tables && !BuildTableList(d, q->tables, out)) return false;
    if (q->criteria != nullptr && !BuildCriteriaClause(d, q->criteria, out)) return false;
    if (q->groupBy != nullptr && !BuildGroupBy(d, q->groupBy, out)) return false;
    if (q->sort != nullptr && !BuildSort(d, q->sort, out)) return false;
    if (q->limit != 0) {
        if (d.paging == SqlPaging::kLimitOffset) {
            out += Printf("limit %d", q->limit);
            if (q->offset != 0) out += Printf(" offset %d", q->offset);
        } else if (d.paging == SqlPaging::kLimitOffsetCount) {
            out += "limit";
            if (q->offset != 0) out += Printf(" %d ,", q->offset);
            out += Printf(" %d", q->limit);
        }
    }
    LogTrace("\nSelect Query constructed is\n%s\n", out.c_str());
    return true;
}

}  // namespace

char* GenSelectQuery(const SqlDialect& d, const SelectQuery* query) {
    return Generate([&](std::string& out) { return BuildSelect(d, query, out); }, kCopyFailed, nullptr);
}

char* GenerateColumnsStr(const SqlDialect& d, const Vector* columns) {
    return Generate([&](std::string& out) { return BuildColumns(d, columns, out); }, nullptr, nullptr);
}

char* GenerateJoinsStr(const SqlDialect& d, const Vector* joins) {
    return Generate([&](std::string& out) { return BuildJoins(d, joins, out); }, nullptr, nullptr);
}

char* GenerateTableListStr(const SqlDialect& d, const Vector* tables) {
    return Generate([&](std::string& out) { return BuildTableList(d, tables, out); }, nullptr, nullptr);
}

char* GenerateCriteriaStr(const SqlDialect& d, const CriteriaNode* root) {
    return Generate([&](std::string& out) { return BuildCriteriaClause(d, root, out); }, nullptr, nullptr);
}

char* GenerateGroupByStr(const SqlDialect& d, const GroupBySpec* groupBy) {
    return Generate([&](std::string& out) { return BuildGroupBy(d, groupBy, out); }, nullptr, nullptr);
}

char* GenerateSortColumnStr(const SqlDialect& d, const SortSpec* sort) {
    return Generate([&](std::string& out) { return BuildSort(d, sort, out); }, nullptr, nullptr);
}

char* GenCriteriaString(const SqlDialect& d, const CriteriaNode* node) {
    return Generate([&](std::string& out) { return BuildCriteria(d, node, out); }, nullptr, nullptr);
}

RowObject* ConvResultsetToRowobject(const SqlDialect& d, ResultSet* set, const char* tableName) {
    TraceEntry(d, "ConvResultsetToRowobject");
    return ResultSetRowToRowObject(set, tableName);
}

}  // namespace sqlgen
}  // namespace orv
