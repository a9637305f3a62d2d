// The configuration database: one connection to config.MDB and the one result set that every query of the
// program reuses. Opening a new result replaces the previous one.
//
// Semantics follow the recordset the program was designed around: each open result is a static snapshot
// of the matching rows; "write text" changes are pending until the row is saved or left (next row, another
// open, close); reading past the last row or a column that does not exist gives the empty text. Errors
// never escape: an operation that fails returns false (or an empty text) and keeps the engine's message
// in LastError().
//
// All texts are GBK.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace jet {
class FileSystem;
}

namespace catalogue {

class ConfigDatabaseBackend;  // the engine behind the operations

class ConfigDatabase {
public:
    ConfigDatabase();
    ~ConfigDatabase();
    ConfigDatabase(const ConfigDatabase&) = delete;
    ConfigDatabase& operator=(const ConfigDatabase&) = delete;

    // Where the database is read and written: the program's own engine (journaled, one writer at a time), or
    // the system's Jet OLE DB provider through ADO, only when the person asks for it.
    enum class Engine { kBuiltIn, kSystemProvider };

    // Opens the database file at `path` (UTF-8) for changes. False when it does not open (missing, damaged,
    // not Jet 4, in use by another program, or no system provider when one is asked for).
    bool Open(const std::string& path, Engine engine = Engine::kBuiltIn);
    // Opens it for reading only, with the built-in engine: never changes the file, and works while another
    // program has it open for changes.
    bool OpenForReading(const std::string& path);
    // Opens it for changes with the built-in engine through a file system of the caller's (tests).
    bool Open(const std::string& path, jet::FileSystem& files);
    bool IsOpen() const;
    // What opening did that the person should know (a journal beside the file that did not belong to it was
    // set aside), one line in English; empty when nothing.
    const std::string& OpeningNote() const { return openingNote_; }

    bool OpenTable(const std::string& table);
    // Opens "select * from <table> where <condition>", the condition inserted as given.
    bool OpenFiltered(const std::string& table, const std::string& condition);
    int RecordCount() const;
    std::string ReadText(const std::string& column) const;
    bool WriteText(const std::string& column, const std::string& text);
    bool AddRow();
    bool SaveRow();
    bool NextRow();
    void Close();
    bool Execute(const std::string& statement);
    // Whether the database has table `table` (compared without regard to case), with its column names in
    // `columns` in the table's order. False also when it cannot say: LastError() is then set (it is empty
    // when the table is simply not there). The open result stays as it is.
    bool TableColumns(const std::string& table, std::vector<std::string>& columns);
    void CloseConnection();

    // One pass over the rows of `table` in table order, without keeping them (memory does not grow with the
    // table): for each row, calls `row` with the texts of `columns`, in that order, as ReadText gives them;
    // the vector is reused from row to row. Closes the open result first (its pending changes discarded).
    // False, with LastError, for a table or column that does not exist (before any row) or a failure while
    // reading (after the rows before it were handed over). `row` must not use this connection.
    bool ScanTable(const std::string& table, const std::vector<std::string>& columns,
                   const std::function<void(const std::vector<std::string>& values)>& row);

    // One row of WriteRows, texts by column name: a new row when `match` is empty, otherwise the first row
    // whose columns in `match` hold exactly these texts (and that no earlier row of the group took).
    struct RowWrite {
        std::vector<std::pair<std::string, std::string>> match;
        std::vector<std::pair<std::string, std::string>> values;
    };
    // Adds and changes rows of `table` as one change of the file: all of them or none, and after a crash or
    // a power cut at any moment the file holds the old or the new content (the built-in engine's journal;
    // through the system's provider, a transaction of its connection). A value that does not fit its column
    // or a row to change that is not there refuses the whole group. Closes the open result.
    bool WriteRows(const std::string& table, const std::vector<RowWrite>& rows);
    // Writes the database as its last finished change left it (never a change half made, even while this
    // connection is in use) to a new file at `path` (UTF-8), flushed to the disk. Refuses when something
    // is at `path`. With the system's provider, the file is copied as it is on the disk.
    bool SaveCopy(const std::string& path);

    // The message of the last failure (English, from the engine), empty after a success.
    const std::string& LastError() const { return lastError_; }

private:
    bool OpenWith(const std::string& path, Engine engine, bool readOnly, jet::FileSystem* files = nullptr);

    std::unique_ptr<ConfigDatabaseBackend> backend_;
    mutable std::string lastError_;
    std::string openingNote_;
};

// The empty configuration database the program carries: table Server without rows, table config with its
// one template row.
const std::string& ConfigDatabaseTemplate();
// Writes the template to `path` (UTF-8) when no file exists there, flushed to the disk before it returns; an
// existing file is never touched. Returns whether a file now exists at `path`.
bool EnsureConfigDatabaseFile(const std::string& path);

}  // namespace catalogue
