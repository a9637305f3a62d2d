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

#include <memory>
#include <string>

namespace catalogue {

class ConfigDatabaseBackend;  // the engine behind the operations

class ConfigDatabase {
public:
    ConfigDatabase();
    ~ConfigDatabase();
    ConfigDatabase(const ConfigDatabase&) = delete;
    ConfigDatabase& operator=(const ConfigDatabase&) = delete;

    // Opens the database file at `path`. False when it does not open (missing, damaged, not Jet 4).
    bool Open(const std::string& path);
    bool IsOpen() const;

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
    void CloseConnection();

    // The message of the last failure (English, from the engine), empty after a success.
    const std::string& LastError() const { return lastError_; }

private:
    std::unique_ptr<ConfigDatabaseBackend> backend_;
    mutable std::string lastError_;
};

// The empty configuration database the program carries: table Server without rows, table config with its
// one template row.
const std::string& ConfigDatabaseTemplate();
// Writes the template to `path` when no file exists there; an existing file is never touched.
// Returns whether a file now exists at `path`.
bool EnsureConfigDatabaseFile(const std::string& path);

}  // namespace catalogue
