/*
 * The library started on one test database with three related tables:
 * a parent P (PID, PNAME), a child C (CID, PID -> P.PID, CNAME) and a
 * grandchild G (GID, CID -> C.CID, GVAL), created in the database with
 * their foreign keys.
 */
#ifndef ORV_TESTS_DATAOBJECT_DATAOBJECT_FIXTURE_H
#define ORV_TESTS_DATAOBJECT_DATAOBJECT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "dataobject/dataobject.h"
#include "tests/db/db_context.h"
#include "tests/db/library_session.h"
#include "tests/support/test_support.h"

namespace orv::test {

struct ForeignKey {
    std::string local;
    std::string table;
    std::string column;
};

class DataObjectTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        MakeDirectoryPath((base_ / "log").c_str());
        std::string error;
        ASSERT_TRUE(session_.Start(Db(), base_ / "log", &error)) << error << "\n" << LogText();
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
    }
    void TearDown() override {
        for (DataObject* o : objects_) FreeDataObject(o);
        session_.Stop();
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) sql_.Exec(Db().DropTableSql(*it));
    }

    std::string LogText() const { return ReadFile(base_ / "log/velkra.log"); }
    bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

    /* Defines a table (first column the key) with foreign keys. */
    std::string Define(const std::string& base, const std::vector<TestColumn>& columns,
                       const std::vector<ForeignKey>& fks = {}, bool create = true) {
        std::string table = TableName(base);
        EXPECT_TRUE(session_.Define(table, columns));
        TableDefn* defn = GetTableDefn(table.c_str());
        for (const ForeignKey& fk : fks) {
            EXPECT_TRUE(AddForeignKeyEntry(defn->constraints, CreateForeignKeyEntry(fk.local.c_str(), fk.column.c_str(),
                                                                                    fk.table.c_str(), 0, 0, 0)));
        }
        if (create) {
            created_.push_back(table);
            EXPECT_TRUE(session_.CreateInDatabase(table)) << LogText();
        }
        return table;
    }
    void DefineFamily() {
        p_ = Define("p", {{"PID", ORV_SQL_INT}, {"PNAME", ORV_SQL_CHAR, 40}});
        c_ = Define("c", {{"CID", ORV_SQL_INT}, {"PID", ORV_SQL_INT}, {"CNAME", ORV_SQL_CHAR, 40}}, {{"PID", p_, "PID"}});
        g_ = Define("g", {{"GID", ORV_SQL_INT}, {"CID", ORV_SQL_INT}, {"GVAL", ORV_SQL_INT}}, {{"CID", c_, "CID"}});
    }
    void Exec(const std::string& sql) { ASSERT_TRUE(sql_.Exec(sql)) << sql_.LastError() << "\n" << sql; }

    /* A column's values in the database, ordered by the first column. */
    std::vector<std::string> DbColumn(const std::string& table, const std::string& column, const std::string& key) {
        std::vector<OdbcSession::Row> rows;
        EXPECT_TRUE(sql_.Query("select " + column + " from " + table + " order by " + key, &rows)) << sql_.LastError();
        std::vector<std::string> values;
        for (const auto& row : rows) {
            std::string v = row[0] ? *row[0] : "NULL";
            while (!v.empty() && v.back() == ' ') v.pop_back();
            values.push_back(v);
        }
        return values;
    }

    DataObject* Keep(DataObject* o) {
        if (o != nullptr) objects_.push_back(o);
        return o;
    }
    /* An empty object holding every column of the tables. */
    DataObject* Empty(const std::vector<std::string>& tables) {
        DataObject* o = Keep(CreateDataObject());
        for (const std::string& t : tables) EXPECT_TRUE(AddTableToDO(o, t.c_str(), nullptr));
        return o;
    }
    static bool Insert(DataObject* o, const std::string& table, const std::vector<const char*>& texts) {
        return InsertStringRowIntoDO(table.c_str(), texts.data(), o) == 1;
    }
    static std::vector<int> Ints(DataObject* o, const std::string& table, int column) {
        std::vector<int> out;
        RowCollection* c = GetRowCollection(table.c_str(), o);
        for (RowUnit* r = c ? c->firstRow : nullptr; r != nullptr; r = r->next) {
            int32_t v = -1;
            if (r->values[column] != nullptr) memcpy(&v, r->values[column], sizeof v);
            out.push_back(v);
        }
        return out;
    }
    static std::vector<int> States(DataObject* o, const std::string& table) {
        std::vector<int> out;
        RowCollection* c = GetRowCollection(table.c_str(), o);
        for (RowUnit* r = c ? c->firstRow : nullptr; r != nullptr; r = r->next) out.push_back(r->state);
        return out;
    }
    static std::vector<std::string> Tables(DataObject* o) {
        std::vector<std::string> out;
        for (VectorNode* n = o->tableList->head; n != nullptr; n = n->next) out.emplace_back(static_cast<char*>(n->element));
        return out;
    }

    TempDir base_;
    LibrarySession session_;
    OdbcSession sql_;
    std::vector<std::string> created_;
    std::vector<DataObject*> objects_;
    std::string p_, c_, g_;
};

}  // namespace orv::test

#endif
