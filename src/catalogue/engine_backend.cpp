// ConfigDatabase on the program's own storage engine: the result is a snapshot of rows as they were when it
// opened (as a static cursor is), and changes go through the engine one atomic statement at a time.
//
// A whole table opened as a result is read when its rows are first needed, not at the open: a result opened
// only to add a row (as the program adds a server) never reads the table. Nothing else changes the file
// meanwhile (the connection is its only writer, and a reader's file stays as it was), except this
// connection: before a statement runs, the rows are read; rows added through the result are kept apart and
// listed after the others, in the order they were added, as a snapshot taken at the open would list them.
#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <unordered_map>

#include "catalogue/config_backend.h"
#include "catalogue/value_text.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/rows.h"
#include "jet/sql.h"

namespace catalogue {
namespace {

std::string quoted(const std::u16string& name) { return "\"" + jet::toUtf8(name) + "\""; }

class EngineBackend final : public ConfigDatabaseBackend {
public:
    EngineBackend(std::unique_ptr<jet::Database> db, jet::FileSystem& files) : db_(std::move(db)), files_(files) {}

    void openTable(const std::u16string& table) override {
        closeResult();
        Snapshot snapshot;
        snapshot.table = db_->table(table).name;
        snapshot.loaded = false;
        result_ = std::move(snapshot);
    }

    void openQuery(const std::u16string& select) override {
        closeResult();
        jet::sql::Statement statement = jet::sql::parse(select);
        if (statement.kind != jet::sql::Statement::Kind::Select) {
            throw jet::Error("a result can only be opened on a SELECT statement");
        }
        Snapshot snapshot;
        snapshot.table = jet::sql::select(*db_, statement, [&](jet::RowId id, const jet::Row& values) {
                             snapshot.rows.push_back(jet::StoredRow{id, values});
                         }).name;
        result_ = std::move(snapshot);
    }

    int recordCount() const override { return static_cast<int>(rows().rows.size()); }

    std::u16string readText(const std::u16string& column) const override {
        const Snapshot& s = open();
        size_t index = columnIndex(column);
        auto pending = s.pending.find(index);
        if (pending != s.pending.end()) return pending->second;
        if (s.adding) return u"";  // a new row's unwritten columns are null until it is saved
        rows();
        if (s.current >= s.rows.size()) throw jet::Error("there is no current row: the position is past the last row");
        const jet::Row& row = s.rows[s.current].values;
        return index < row.size() ? ValueText(row[index]) : u"";
    }

    void writeText(const std::u16string& column, const std::u16string& text) override {
        Snapshot& s = open();
        size_t index = columnIndex(column);
        if (!s.adding && s.current >= rows().rows.size()) {
            throw jet::Error("there is no current row to change: the position is past the last row");
        }
        s.pending[index] = text;
    }

    void addRow() override {
        Snapshot& s = open();
        if (s.adding || !s.pending.empty()) saveRow();
        s.adding = true;
    }

    void saveRow() override {
        Snapshot& s = open();
        if (!s.adding && s.pending.empty()) return;
        if (!s.adding && s.current >= rows().rows.size()) {
            throw jet::Error("there is no current row to save: the position is past the last row");
        }
        const jet::TableDef& def = db_->table(s.table);
        std::vector<jet::ColumnChange> changes;
        for (const auto& [column, text] : s.pending) {
            if (!s.adding && def.columns[column].isAutoNumber()) {
                throw jet::Error("column " + quoted(def.columns[column].name) + " is an AutoNumber and cannot be changed");
            }
            changes.push_back({column, jet::sql::columnValue(def, column, text)});
        }
        if (s.adding) {
            jet::Row values(def.columns.size());
            for (jet::ColumnChange& change : changes) values[change.column] = std::move(change.value);
            jet::RowId id;
            db_->statement([&] { id = db_->insertRow(def, values); });
            if (s.loaded) {
                // Read the row back for the values the engine filled in (the AutoNumber).
                s.rows.push_back(jet::StoredRow{id, db_->readRow(db_->table(s.table), id)});
                s.current = s.rows.size() - 1;
            } else {
                s.added.push_back(id);  // read with the others; the new row is the current one
            }
            s.adding = false;
        } else {
            jet::StoredRow& row = s.rows[s.current];
            db_->statement([&] { db_->updateRow(def, row.id, changes); });
            for (jet::ColumnChange& change : changes) {
                if (change.column < row.values.size()) row.values[change.column] = std::move(change.value);
            }
        }
        s.pending.clear();
    }

    void nextRow() override {
        Snapshot& s = open();
        saveRow();
        if (s.current >= rows().rows.size()) throw jet::Error("cannot move past the end of the result");
        ++s.current;
    }

    void closeResult() override { result_.reset(); }

    void execute(const std::u16string& statement) override {
        if (result_) rows();  // the open result keeps the rows from before the statement
        jet::sql::execute(*db_, jet::sql::parse(statement));
    }

    void scanTable(const std::u16string& table, const std::vector<std::u16string>& columns,
                   const std::function<void(const std::vector<std::u16string>& values)>& row) override {
        closeResult();
        const jet::TableDef& def = db_->table(table);
        std::vector<size_t> positions;
        for (const std::u16string& column : columns) {
            int index = def.findColumn(column);
            if (index < 0) throw jet::Error("table " + quoted(def.name) + " has no column named " + quoted(column));
            positions.push_back(static_cast<size_t>(index));
        }
        std::vector<std::u16string> values(columns.size());
        jet::RowCursor cursor(*db_, def);
        while (cursor.next()) {
            for (size_t k = 0; k < positions.size(); ++k) {
                if (def.columns[positions[k]].type == jet::ColumnType::Text) {
                    jet::readText(def, cursor.bytes(), positions[k], values[k]);  // a null leaves it empty
                } else {
                    values[k] = ValueText(
                        jet::decodeColumn(def, cursor.bytes(), positions[k], db_->pages(), &cursor.parts()));
                }
            }
            row(values);
        }
    }

    std::string openingNote() const override { return db_->openingNote(); }

    std::optional<std::vector<std::u16string>> tableColumns(const std::u16string& table) const override {
        const jet::TableDef* def = db_->findTable(table);
        if (!def) return std::nullopt;
        std::vector<std::u16string> names;
        for (const jet::Column& column : def->columns) names.push_back(column.name);
        return names;
    }

    void writeRows(const std::u16string& table, const std::vector<WideRowWrite>& rows) override {
        closeResult();
        const jet::TableDef& def = db_->table(table);
        // Every value and every row to change first: nothing is written unless all of them are there.
        struct Planned {
            std::optional<jet::RowId> row;  // the row to change; a new row when empty
            std::vector<jet::ColumnChange> changes;
        };
        std::vector<Planned> planned;
        planned.reserve(rows.size());
        RowFinder finder(*db_, def);
        for (const WideRowWrite& write : rows) {
            Planned& p = planned.emplace_back();
            for (const auto& [column, text] : write.values) {
                size_t index = columnOf(def, column);
                if (!write.match.empty() && def.columns[index].isAutoNumber()) {
                    throw jet::Error("column " + quoted(def.columns[index].name) +
                                     " is an AutoNumber and cannot be changed");
                }
                p.changes.push_back({index, jet::sql::columnValue(def, index, text)});
            }
            if (!write.match.empty()) p.row = finder.take(write.match);
        }
        db_->statement([&] {
            for (Planned& p : planned) {
                if (p.row) {
                    db_->updateRow(def, *p.row, p.changes);
                    continue;
                }
                jet::Row values(def.columns.size());
                for (jet::ColumnChange& change : p.changes) values[change.column] = std::move(change.value);
                db_->insertRow(def, values);
            }
        });
    }

    void saveCopy(const std::string& path) override {
        // The pages in memory are the file as the last statement left it: statements run one at a time on
        // this connection, and a failed one is rolled back in memory.
        const std::vector<uint8_t> bytes = db_->pages().bytes();
        if (!files_.createNew(path, bytes.data(), bytes.size())) {
            throw jet::Error("a file named " + quoted(jet::fromUtf8(path)) + " is there already");
        }
    }

private:
    struct Snapshot {
        std::u16string table;
        bool loaded = true;                        // false until the rows of a table opened whole are read
        std::vector<jet::RowId> added;             // rows added through the result before that
        std::vector<jet::StoredRow> rows;
        size_t current = 0;                        // rows.size() once past the last row
        bool adding = false;                       // a new row not saved yet
        std::map<size_t, std::u16string> pending;  // written columns of the current or new row
    };

    const Snapshot& open() const {
        if (!result_) throw jet::Error("no result is open");
        return *result_;
    }
    Snapshot& open() {
        if (!result_) throw jet::Error("no result is open");
        return *result_;
    }

    // The open result with its rows read: the table's rows in table order, those added through the result
    // after them; the current row is then the last one added, or the first.
    Snapshot& rows() const {
        if (!result_) throw jet::Error("no result is open");
        Snapshot& s = *result_;
        if (s.loaded) return s;
        const jet::TableDef& def = db_->table(s.table);
        std::vector<jet::StoredRow> all = db_->readRows(def);
        auto isAdded = [&](const jet::StoredRow& row) {
            return std::find(s.added.begin(), s.added.end(), row.id) != s.added.end();
        };
        std::vector<jet::StoredRow> added;
        for (jet::RowId id : s.added) added.push_back(jet::StoredRow{id, db_->readRow(def, id)});
        if (!s.added.empty()) all.erase(std::remove_if(all.begin(), all.end(), isAdded), all.end());
        for (jet::StoredRow& row : added) all.push_back(std::move(row));
        s.rows = std::move(all);
        s.current = s.added.empty() ? 0 : s.rows.size() - 1;
        s.added.clear();
        s.loaded = true;
        return s;
    }

    size_t columnIndex(const std::u16string& column) const { return columnOf(db_->table(result_->table), column); }

    static size_t columnOf(const jet::TableDef& def, const std::u16string& column) {
        int index = def.findColumn(column);
        if (index < 0) throw jet::Error("table " + quoted(def.name) + " has no column named " + quoted(column));
        return static_cast<size_t>(index);
    }

    // The rows of a group change, found by the texts of their columns: the table is read once, at the first
    // row asked for, and each key's rows are handed out in table order, each once.
    class RowFinder {
    public:
        RowFinder(const jet::Database& db, const jet::TableDef& def) : db_(db), def_(def) {}

        jet::RowId take(const std::vector<std::pair<std::u16string, std::u16string>>& match) {
            std::vector<size_t> columns;
            std::u16string key;
            for (const auto& [column, text] : match) {
                columns.push_back(columnOf(def_, column));
                key += text;
                key += u'\0';
            }
            if (!rows_) rows_ = db_.readRows(def_);
            auto found = byColumns_.find(columns);
            if (found == byColumns_.end()) {
                Index& index = byColumns_[columns];
                for (const jet::StoredRow& row : *rows_) {
                    std::u16string rowKey;
                    for (size_t column : columns) {
                        rowKey += column < row.values.size() ? ValueText(row.values[column]) : u"";
                        rowKey += u'\0';
                    }
                    index[rowKey].push_back(row.id);
                }
                found = byColumns_.find(columns);
            }
            auto rows = found->second.find(key);
            if (rows == found->second.end() || rows->second.empty()) {
                throw jet::Error("table " + quoted(def_.name) + " has no row with these values to change");
            }
            jet::RowId id = rows->second.front();
            rows->second.pop_front();
            return id;
        }

    private:
        using Index = std::unordered_map<std::u16string, std::deque<jet::RowId>>;
        const jet::Database& db_;
        const jet::TableDef& def_;
        std::optional<std::vector<jet::StoredRow>> rows_;
        std::map<std::vector<size_t>, Index> byColumns_;
    };

    std::unique_ptr<jet::Database> db_;
    jet::FileSystem& files_;
    mutable std::optional<Snapshot> result_;  // read when first needed (rows())
};

}  // namespace

std::unique_ptr<ConfigDatabaseBackend> OpenEngineBackend(const std::string& path, bool readOnly) {
    jet::FileSystem& files = jet::realFileSystem();
    return std::make_unique<EngineBackend>(
        readOnly ? jet::Database::openForReading(path, files) : jet::Database::open(path, files), files);
}

std::unique_ptr<ConfigDatabaseBackend> OpenEngineBackend(const std::string& path, jet::FileSystem& files) {
    return std::make_unique<EngineBackend>(jet::Database::open(path, files), files);
}

}  // namespace catalogue
