#pragma once

#include <sqlite3.h>

#include <functional>

namespace library {

// The C++ body of an SQL function: sets the result on `context` from the arguments.
using SQLFunctionBody =
    std::function<void(sqlite3_context* context, int count, sqlite3_value** values)>;

// Registers `body` as the deterministic SQL function `name` of `arguments` arguments. An
// exception from the body becomes the statement's error (SQLITE_NOMEM for bad_alloc) instead
// of unwinding through SQLite.
bool registerSQLFunction(sqlite3* db, const char* name, int arguments, SQLFunctionBody body);

}  // namespace library
