// The statements the program sends, parsed and run against a database.
//
//   SELECT * FROM t [WHERE cond]
//   DELETE FROM t [WHERE cond]
//   INSERT INTO t (c, ...) VALUES ('v', ...)
//   UPDATE t SET c = 'v', ... [WHERE cond]
//
// Identifiers bare, in [brackets] or in `backquotes`; keywords in any case; text literals in single quotes
// with '' for a quote; a condition is `column = 'literal'` terms joined by AND, blanks around `=` optional.
// Text in conditions compares as Jet's General sort order does: case-insensitive, trailing blanks ignored,
// accents significant; a null never matches.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"

namespace jet::sql {

struct Condition {
    std::u16string column;
    std::u16string literal;
};

struct Statement {
    enum class Kind { Select, Insert, Update, Delete } kind = Kind::Select;
    std::u16string table;
    std::vector<std::u16string> columns;  // INSERT and UPDATE: target columns
    std::vector<std::u16string> values;   // INSERT and UPDATE: the literal for each target column
    std::vector<Condition> where;         // empty: every row
};

// Throws jet::Error with a message naming what is wrong and where.
Statement parse(std::u16string_view text);

struct Result {
    const TableDef* table = nullptr;
    std::vector<StoredRow> rows;  // SELECT: the matching rows in table order
    size_t affected = 0;          // INSERT, UPDATE, DELETE: rows changed
};

// Runs one statement atomically. An unknown table or column, or a value too long for its column, throws
// jet::Error and leaves the data unchanged.
Result execute(Database& db, const Statement& statement);

// Runs a SELECT as one pass over the table's rows (a RowCursor), handing each matching row to `row` as it is
// read, in table order: its id and values, valid during the call only. Returns the table. Throws jet::Error
// for a statement that is not a SELECT, an unknown table or column, and on damage (after the rows before it
// were handed over).
const TableDef& select(const Database& db, const Statement& statement,
                       const std::function<void(RowId, const Row&)>& row);

// The value that `literal` gives column `column` of `table` in an INSERT or UPDATE: the text itself for Text
// (at most the column's size in characters) and Memo, a decimal whole number in range for Byte, Integer and
// Long. Throws jet::Error naming the column (and its size limit) when the literal does not fit.
Value columnValue(const TableDef& table, size_t column, std::u16string_view literal);

// Equality of two texts under the General sort order, as a WHERE clause compares them.
bool textEquals(std::u16string_view a, std::u16string_view b);

}  // namespace jet::sql
