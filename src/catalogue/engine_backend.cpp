// ConfigDatabase on the program's own storage engine: the result is a snapshot of rows taken when it opens
// (as a static cursor is), and changes go through the engine one atomic statement at a time.
#include <map>
#include <optional>

#include "catalogue/config_backend.h"
#include "catalogue/value_text.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql.h"

namespace catalogue {
namespace {

std::string quoted(const std::u16string& name) { return "\"" + jet::toUtf8(name) + "\""; }

class EngineBackend final : public ConfigDatabaseBackend {
public:
    explicit EngineBackend(std::unique_ptr<jet::Database> db) : db_(std::move(db)) {}

    void openTable(const std::u16string& table) override {
        closeResult();
        const jet::TableDef& def = db_->table(table);
        Snapshot snapshot;
        snapshot.table = def.name;
        snapshot.rows = db_->readRows(def);
        result_ = std::move(snapshot);
    }

    void openQuery(const std::u16string& select) override {
        closeResult();
        jet::sql::Statement statement = jet::sql::parse(select);
        if (statement.kind != jet::sql::Statement::Kind::Select) {
            throw jet::Error("a result can only be opened on a SELECT statement");
        }
        jet::sql::Result rows = jet::sql::execute(*db_, statement);
        Snapshot snapshot;
        snapshot.table = rows.table->name;
        snapshot.rows = std::move(rows.rows);
        result_ = std::move(snapshot);
    }

    int recordCount() const override { return static_cast<int>(open().rows.size()); }

    std::u16string readText(const std::u16string& column) const override {
        const Snapshot& s = open();
        size_t index = columnIndex(column);
        auto pending = s.pending.find(index);
        if (pending != s.pending.end()) return pending->second;
        if (s.adding) return u"";  // a new row's unwritten columns are null until it is saved
        if (s.current >= s.rows.size()) throw jet::Error("there is no current row: the position is past the last row");
        const jet::Row& row = s.rows[s.current].values;
        return index < row.size() ? ValueText(row[index]) : u"";
    }

    void writeText(const std::u16string& column, const std::u16string& text) override {
        Snapshot& s = open();
        size_t index = columnIndex(column);
        if (!s.adding && s.current >= s.rows.size()) {
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
        if (!s.adding && s.current >= s.rows.size()) {
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
            // Read the row back for the values the engine filled in (the AutoNumber).
            jet::StoredRow inserted{id, std::move(values)};
            for (jet::StoredRow& row : db_->readRows(db_->table(s.table))) {
                if (row.id == id) {
                    inserted = std::move(row);
                    break;
                }
            }
            s.rows.push_back(std::move(inserted));
            s.current = s.rows.size() - 1;
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
        if (s.current >= s.rows.size()) throw jet::Error("cannot move past the end of the result");
        ++s.current;
    }

    void closeResult() override { result_.reset(); }

    void execute(const std::u16string& statement) override { jet::sql::execute(*db_, jet::sql::parse(statement)); }

    std::string openingNote() const override { return db_->openingNote(); }

    std::optional<std::vector<std::u16string>> tableColumns(const std::u16string& table) const override {
        const jet::TableDef* def = db_->findTable(table);
        if (!def) return std::nullopt;
        std::vector<std::u16string> names;
        for (const jet::Column& column : def->columns) names.push_back(column.name);
        return names;
    }

private:
    struct Snapshot {
        std::u16string table;
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

    size_t columnIndex(const std::u16string& column) const {
        const jet::TableDef& def = db_->table(result_->table);
        int index = def.findColumn(column);
        if (index < 0) throw jet::Error("table " + quoted(def.name) + " has no column named " + quoted(column));
        return static_cast<size_t>(index);
    }

    std::unique_ptr<jet::Database> db_;
    std::optional<Snapshot> result_;
};

}  // namespace

std::unique_ptr<ConfigDatabaseBackend> OpenEngineBackend(const std::string& path, bool readOnly) {
    return std::make_unique<EngineBackend>(readOnly ? jet::Database::openForReading(path) : jet::Database::open(path));
}

}  // namespace catalogue
