// What ConfigDatabase needs from the engine behind it: one connection, one open result at a time.
//
// ConfigDatabase keeps the program's side (GBK texts, false instead of exceptions, LastError); a backend
// works in UTF-16 and reports every failure by throwing a std::exception whose what() is one English line.
// The built-in backend runs on the program's own storage engine (OpenEngineBackend).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace jet {
class FileSystem;
}

namespace catalogue {

// One row of a group change: a new row when `match` is empty, otherwise the first row (in table order) whose
// columns in `match` hold exactly these texts and that no earlier write of the group took. Columns by name.
struct WideRowWrite {
    std::vector<std::pair<std::u16string, std::u16string>> match;
    std::vector<std::pair<std::u16string, std::u16string>> values;
};

class ConfigDatabaseBackend {
public:
    virtual ~ConfigDatabaseBackend() = default;

    // Replace the open result by the whole table, or by the rows of a SELECT statement. Pending changes of
    // the previous result are discarded, even when the new one fails to open.
    virtual void openTable(const std::u16string& table) = 0;
    virtual void openQuery(const std::u16string& select) = 0;

    virtual int recordCount() const = 0;
    // The current row's value in `column` (case-insensitive) as text, a pending change included; a null
    // is the empty text. Throws past the last row and for a column that does not exist.
    virtual std::u16string readText(const std::u16string& column) const = 0;
    virtual void writeText(const std::u16string& column, const std::u16string& text) = 0;
    // Saves pending changes first, then starts a new row that is inserted by saveRow (or by leaving it).
    virtual void addRow() = 0;
    // Inserts the new row or updates the current one with the written columns. On failure nothing is
    // written and the pending changes stay, so they can be corrected and saved again.
    virtual void saveRow() = 0;
    // Saves pending changes, then moves to the next row (past the last one is allowed once).
    virtual void nextRow() = 0;
    // Discards pending changes and the result.
    virtual void closeResult() = 0;

    // Runs one statement on the connection.
    virtual void execute(const std::u16string& statement) = 0;

    // One pass over the rows of `table` in table order, without keeping them: for each row, calls `row` with
    // the texts of `columns` (names case-insensitive), in that order and by readText's rules; the vector is
    // reused from row to row. Discards the open result first. Throws for a column the table does not have
    // (before any row) and on a failure while reading (after the rows before it were handed over).
    virtual void scanTable(const std::u16string& table, const std::vector<std::u16string>& columns,
                           const std::function<void(const std::vector<std::u16string>& values)>& row) = 0;

    // The column names of `table` (compared without regard to case) in the table's order; nothing when the
    // database has no such table. Leaves the open result as it is.
    virtual std::optional<std::vector<std::u16string>> tableColumns(const std::u16string& table) const = 0;

    // Adds and changes rows of `table` as one change: every row or none reaches the file, and a crash or
    // power cut leaves the old or the new content. Every value is checked before anything is written; a row
    // to change that is not there refuses the whole group. The open result is closed first.
    virtual void writeRows(const std::u16string& table, const std::vector<WideRowWrite>& rows) = 0;
    // Writes the database as its last finished change left it to a new file at `path` (UTF-8), flushed;
    // refuses when something is there already.
    virtual void saveCopy(const std::string& path) = 0;

    // What opening did that the person should know (a journal set aside), in one English line; empty when
    // nothing.
    virtual std::string openingNote() const { return {}; }
};

// Opens `path` (UTF-8) with the built-in engine, for changes or (`readOnly`) for reading only. Throws when the
// file is missing, damaged, not a Jet 4 database, or (for changes) in use by another opener.
std::unique_ptr<ConfigDatabaseBackend> OpenEngineBackend(const std::string& path, bool readOnly = false);
// The same through a file system of the caller's (tests: one that loses power).
std::unique_ptr<ConfigDatabaseBackend> OpenEngineBackend(const std::string& path, jet::FileSystem& files);

// Opens `path` through ADO and the system's OLE DB provider for Jet files, where one is registered and
// loads in this process (Windows: ado_backend_win32.cpp). Null when there is none (always on other
// systems): the built-in engine is used then. Throws when a provider is there but the file does not open.
std::unique_ptr<ConfigDatabaseBackend> OpenSystemBackend(const std::string& path);
// The provider OpenSystemBackend would use ("Microsoft.Jet.OLEDB.4.0"), empty when none.
std::string SystemJetProvider();

// A value as an OLE DB connection string holds it whatever it contains (a folder with ';', '=', blanks or
// quotes): in double quotes, or in single quotes when it holds a double quote, the enclosing quote doubled
// inside.
std::u16string ConnectionStringValue(const std::u16string& value);

}  // namespace catalogue
