// SQL functions run C++ inside SQLite's C frames: what they throw must end as an SQL error.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <new>
#include <stdexcept>
#include <string>

#include "SQLiteFunction.h"

using namespace library;

namespace {

struct Answer {
    int code;
    std::string message;
};

Answer step(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return {-1, sqlite3_errmsg(db)};
    int code = sqlite3_step(statement);
    std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    return {code, message};
}

}  // namespace

TEST(SQLFunction, WhatTheBodyThrowsBecomesTheStatementsErrorNotATerminate) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_TRUE(
        registerSQLFunction(db, "throws_error", 1, [](sqlite3_context*, int, sqlite3_value**) {
            throw std::runtime_error("the lookup failed");
        }));
    ASSERT_TRUE(registerSQLFunction(
        db, "throws_bad_alloc", 0,
        [](sqlite3_context*, int, sqlite3_value**) { throw std::bad_alloc(); }));
    ASSERT_TRUE(registerSQLFunction(db, "throws_other", 0,
                                    [](sqlite3_context*, int, sqlite3_value**) { throw 42; }));
    ASSERT_TRUE(registerSQLFunction(
        db, "doubled", 1, [](sqlite3_context* context, int, sqlite3_value** values) {
            sqlite3_result_int(context, 2 * sqlite3_value_int(values[0]));
        }));
    ASSERT_EQ(step(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1), (2)").code, SQLITE_DONE);

    const struct {
        const char* sql;
        int code;
        const char* message;
    } cases[] = {
        {"SELECT throws_error(1)", SQLITE_ERROR, "the lookup failed"},
        // Thrown on a row in the middle of a scan: the statement ends with the error.
        {"SELECT x FROM t WHERE throws_error(x) ORDER BY x", SQLITE_ERROR, "the lookup failed"},
        {"SELECT throws_bad_alloc()", SQLITE_NOMEM, "out of memory"},
        {"SELECT throws_other()", SQLITE_ERROR, "unknown error"},
    };
    for (const auto& c : cases) {
        Answer answer = step(db, c.sql);
        EXPECT_EQ(answer.code, c.code) << c.sql;
        EXPECT_EQ(answer.message, c.message) << c.sql;
        // SQLite goes on working afterwards: no lock or statement was left behind.
        EXPECT_EQ(step(db, "SELECT doubled(21)").code, SQLITE_ROW) << c.sql;
        EXPECT_EQ(step(db, "INSERT INTO t VALUES (3)").code, SQLITE_DONE) << c.sql;
    }
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK);  // nothing left open
}
