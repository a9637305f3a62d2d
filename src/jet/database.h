// A Jet 4 database file: its tables, their rows, and statements that change them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"
#include "jet/page_store.h"
#include "jet/rows.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// Where a row lives: data page and slot in its row-offset table. A row keeps its RowId for life, even
// when an update moves its data elsewhere (the original slot then points to the new place).
struct RowId {
    uint32_t page = 0;
    uint8_t slot = 0;
    bool operator==(const RowId&) const = default;
};

// One row: values by position in TableDef::columns.
using Row = std::vector<Value>;

struct StoredRow {
    RowId id;
    Row values;
};

// One column change of an update: position in TableDef::columns and the new value.
struct ColumnChange {
    size_t column;
    Value value;
};

class Database {
public:
    // Opens a file for reading and writing. Refuses, with a jet::Error that says what the file is, anything
    // that is not an unencrypted Jet 4 database (Jet 3, ACE/.accdb, encrypted, truncated, not a database);
    // throws an InUseError while another opener has it open for changes (see page_store.h).
    static std::unique_ptr<Database> open(const std::string& path, FileSystem& fs = realFileSystem());
    // The same for reading only: never changes the file or its journal, and reads it while another opener
    // has it open for changes. statement() is refused.
    static std::unique_ptr<Database> openForReading(const std::string& path, FileSystem& fs = realFileSystem());
    // The same over bytes in memory (the fuzzer, tests, the template).
    static std::unique_ptr<Database> openBytes(std::vector<uint8_t> bytes);
    ~Database();

    // Names of user tables in catalogue order; with `system`, the system tables too.
    std::vector<std::u16string> tableNames(bool system = false) const;
    // The table named `name`, compared case-insensitively as Jet does; nullptr when there is none.
    const TableDef* findTable(std::u16string_view name) const;
    // The same, throwing jet::Error("no table named ...") when there is none.
    const TableDef& table(std::u16string_view name) const;

    // Every live row of the table, gathered by one pass of a RowCursor (below): in table order, memo and OLE
    // values read in full. Two rows pointing to one overflow row, or two values sharing a long-value part,
    // stop the read with a jet::Error naming them. Where one pass over the rows will do, a RowCursor reads
    // them without holding them all.
    std::vector<StoredRow> readRows(const TableDef& table) const;

    // Calls visit(id, bytes) for every live row of the table in the same order, through a RowCursor, with
    // the row's stored bytes (overflow followed), decoding nothing; stops early when `visit` returns false.
    // The bytes are valid during the call only; decode the columns needed with decodeColumn, readText or
    // decodeRow (rows.h), giving them one LongValueParts for the scan. Throws jet::Error on damage, two rows
    // pointing to one overflow row included.
    void scanRows(const TableDef& table, const std::function<bool(RowId, const ByteView&)>& visit) const;

    // One row by its id (overflow followed), memo and OLE values read in full. Throws jet::Error when the
    // row does not exist or is damaged.
    Row readRow(const TableDef& table, RowId id) const;

    // Runs `body` as one atomic statement: every change it makes reaches the file together, or none does
    // (an exception from `body` or from the write rolls everything back and is rethrown).
    void statement(const std::function<void()>& body);

    // Row operations; each must run inside statement(). They keep row counts, free space, usage maps,
    // AutoNumber counters and every index of the table exact, or throw before changing anything.
    // Insert: `values` by column position; a null in an AutoNumber column takes the next number.
    RowId insertRow(const TableDef& table, const Row& values);
    // Update: columns not named keep their stored bytes exactly (memo pointers included).
    void updateRow(const TableDef& table, RowId row, const std::vector<ColumnChange>& changes);
    void deleteRow(const TableDef& table, RowId row);

    // Consistency check for the database tool and tests: every row readable, row counts, usage maps
    // covering owned pages, every index holding exactly one entry per live row in key order. Rows that share
    // an overflow row or values that share a long-value part end the check of their table with one problem.
    // Returns the problems found (empty when the file is sound).
    std::vector<std::string> check() const;

    // What opening did that the person should know (see PageStore::openingNote); empty when nothing.
    const std::string& openingNote() const { return pages_->openingNote(); }

    PageStore& pages() { return *pages_; }
    const PageStore& pages() const { return *pages_; }

private:
    explicit Database(std::unique_ptr<PageStore> pages);
    static std::unique_ptr<Database> openFile(const std::string& path, FileSystem& fs, PageStore::Access access);
    void load();

    std::unique_ptr<PageStore> pages_;
    std::vector<TableDef> tables_;  // every table of the catalogue, system ones included
    struct State;                   // bookkeeping beside the tables (database.cpp)
    std::unique_ptr<State> state_;
};

// One pass over a table's live rows in table order: data pages in the order of the table's usage map, then
// slot order. Pages are read as the rows are asked for, so memory does not grow with the table: in a store
// reading on demand, a data page and the pages its rows lead to are let go when the cursor moves past it.
// The checks of a whole read hold for the pass: an overflow row is followed once, and two rows pointing to one
// stop the pass with a jet::Error naming both; memo and OLE values are read through the pass's
// LongValueParts, so two values sharing a long-value part stop it too. Damage (a data page that cannot be
// read, a pointer leading nowhere) stops the pass with a jet::Error when next() reaches it, after every row
// before it was delivered; the pass is over then (the cursor is not used again). The table and the database
// must outlive the cursor, and the database must not change while the cursor is in use.
class RowCursor {
public:
    RowCursor(const Database& db, const TableDef& table);

    // Moves to the next live row; false after the last. Throws jet::Error on damage.
    bool next();
    // The current row.
    RowId id() const { return id_; }
    // Its stored bytes, overflow followed; valid until the next call of next().
    const ByteView& bytes() const { return *bytes_; }
    // Its values by column position into `out`, memo and OLE values read in full, reusing the storage `out`
    // holds (a text keeps its buffer from row to row). Throws jet::Error on damage to the row or its values.
    void values(Row& out);
    // The pass's long-value parts, for decodeColumn (rows.h) on the current row's bytes.
    LongValueParts& parts() { return parts_; }
    const PageStore& pages() const { return pages_; }

private:
    bool nextPage();

    const PageStore& pages_;
    const TableDef& table_;
    PageStore::Hold hold_;
    bool started_ = false;
    std::vector<uint32_t> dataPages_;  // the pages the table's usage map lists
    size_t nextPage_ = 0;              // position in dataPages_ of the page after the current one
    const uint8_t* page_ = nullptr;    // the current data page, null between pages
    uint32_t pageNumber_ = 0;
    unsigned slot_ = 0, slotCount_ = 0;
    std::unordered_map<uint32_t, RowId> overflowHomes_;  // overflow row (page << 8 | row) -> the row pointing to it
    LongValueParts parts_;
    RowId id_;
    ByteView onPage_;    // a row on the current page ("row on page N")
    ByteView overflow_;  // a row whose bytes lie on another page
    const ByteView* bytes_ = &onPage_;
};

}  // namespace jet
