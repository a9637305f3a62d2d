// ConfigDatabase: GBK texts in and out, every failure turned into false (or an empty text) with its message
// kept in LastError. The work itself is done by a ConfigDatabaseBackend.
//
// Choices where the recordset the program was written against leaves room:
// - Close, another OpenTable/OpenFiltered and CloseConnection discard pending changes (WriteText without
//   SaveRow, an AddRow not saved): the file keeps what it had. (The original recordset refuses to close
//   with pending changes and drops them.)
// - SaveRow that fails (a value too long for its column, a letter in a number column) writes nothing and
//   keeps the pending changes, so the caller can write a corrected value and save again; NextRow and AddRow
//   save pending changes first and fail, without moving, when that save fails.
// - RecordCount counts saved rows: a new row counts once it is saved. It is 0 when no result is open.
// - ReadText of a column that does not exist, past the last row, or with no result open gives "" and sets
//   LastError; a null gives "" as a success.
// - Open on an open database closes the old connection first (discarding its pending changes).
//
// Open uses the built-in engine, unless the system's OLE DB provider for Jet (through ADO, Windows only) is
// asked for.
#include "catalogue/config_database.h"

#include <exception>
#include <stdexcept>

#include "catalogue/config_backend.h"
#include "jet/value.h"
#include "runtime/text_codec.h"

namespace catalogue {
namespace {

// Engine messages are UTF-8; the program's texts are GBK.
std::string messageToGbk(const char* utf8) { return runtime::Utf16ToGbk(jet::fromUtf8(utf8)); }

// `text` in GBK into `out`, reusing its storage: ASCII (most of a server's fields) is the same in both and
// is copied as it is; anything else goes through the converter.
void AssignGbk(const std::u16string& text, std::string& out) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0x80) {
            out = runtime::Utf16ToGbk(text);
            return;
        }
        out[i] = static_cast<char>(text[i]);
    }
}

}  // namespace

ConfigDatabase::ConfigDatabase() = default;
ConfigDatabase::~ConfigDatabase() = default;

// Runs `body` against the backend; false with LastError set when there is none or when it throws.
template <typename Body>
static bool guarded(ConfigDatabaseBackend* backend, std::string& lastError, Body body) {
    try {
        if (!backend) {
            lastError = "the database is not open";
            return false;
        }
        body(*backend);
        lastError.clear();
        return true;
    } catch (const std::exception& e) {
        try {
            lastError = messageToGbk(e.what());
        } catch (...) {
            lastError = "out of memory";
        }
    } catch (...) {
        lastError = "unexpected failure";
    }
    return false;
}

bool ConfigDatabase::Open(const std::string& path, Engine engine) { return OpenWith(path, engine, false); }

bool ConfigDatabase::OpenForReading(const std::string& path) { return OpenWith(path, Engine::kBuiltIn, true); }

bool ConfigDatabase::Open(const std::string& path, jet::FileSystem& files) {
    return OpenWith(path, Engine::kBuiltIn, false, &files);
}

bool ConfigDatabase::OpenWith(const std::string& path, Engine engine, bool readOnly, jet::FileSystem* files) {
    CloseConnection();
    openingNote_.clear();
    try {
        if (engine == Engine::kSystemProvider) {
            backend_ = OpenSystemBackend(path);
            if (!backend_) throw std::runtime_error("this system has no Jet OLE DB provider for this program");
        } else if (files) {
            backend_ = OpenEngineBackend(path, *files);
        } else {
            backend_ = OpenEngineBackend(path, readOnly);
        }
        openingNote_ = messageToGbk(backend_->openingNote().c_str());
        lastError_.clear();
        return true;
    } catch (const std::exception& e) {
        try {
            lastError_ = messageToGbk(e.what());
        } catch (...) {
            lastError_ = "out of memory";
        }
    } catch (...) {
        lastError_ = "unexpected failure";
    }
    return false;
}

std::u16string ConnectionStringValue(const std::u16string& value) {
    char16_t quote = value.find(u'"') == std::u16string::npos ? u'"' : u'\'';
    std::u16string quoted(1, quote);
    for (char16_t c : value) {
        quoted += c;
        if (c == quote) quoted += c;  // both kinds inside: the enclosing one is doubled
    }
    return quoted + quote;
}

bool ConfigDatabase::IsOpen() const { return backend_ != nullptr; }

bool ConfigDatabase::OpenTable(const std::string& table) {
    return guarded(backend_.get(), lastError_,
                   [&](ConfigDatabaseBackend& b) { b.openTable(runtime::GbkToUtf16(table)); });
}

bool ConfigDatabase::OpenFiltered(const std::string& table, const std::string& condition) {
    // The statement is built the way the program builds it, then parsed as a whole: a condition that breaks
    // out of its place is a syntax error, not a different statement.
    const std::string statement = "select * from " + table + " where " + condition;
    return guarded(backend_.get(), lastError_,
                   [&](ConfigDatabaseBackend& b) { b.openQuery(runtime::GbkToUtf16(statement)); });
}

int ConfigDatabase::RecordCount() const {
    int count = 0;
    guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) { count = b.recordCount(); });
    return count;
}

std::string ConfigDatabase::ReadText(const std::string& column) const {
    std::string text;
    guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) {
        text = runtime::Utf16ToGbk(b.readText(runtime::GbkToUtf16(column)));
    });
    return text;
}

bool ConfigDatabase::WriteText(const std::string& column, const std::string& text) {
    return guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) {
        b.writeText(runtime::GbkToUtf16(column), runtime::GbkToUtf16(text));
    });
}

bool ConfigDatabase::AddRow() {
    return guarded(backend_.get(), lastError_, [](ConfigDatabaseBackend& b) { b.addRow(); });
}

bool ConfigDatabase::SaveRow() {
    return guarded(backend_.get(), lastError_, [](ConfigDatabaseBackend& b) { b.saveRow(); });
}

bool ConfigDatabase::NextRow() {
    return guarded(backend_.get(), lastError_, [](ConfigDatabaseBackend& b) { b.nextRow(); });
}

void ConfigDatabase::Close() {
    guarded(backend_.get(), lastError_, [](ConfigDatabaseBackend& b) { b.closeResult(); });
}

bool ConfigDatabase::Execute(const std::string& statement) {
    return guarded(backend_.get(), lastError_,
                   [&](ConfigDatabaseBackend& b) { b.execute(runtime::GbkToUtf16(statement)); });
}

bool ConfigDatabase::ScanTable(const std::string& table, const std::vector<std::string>& columns,
                               const std::function<void(const std::vector<std::string>& values)>& row) {
    std::vector<std::u16string> names;
    for (const std::string& column : columns) names.push_back(runtime::GbkToUtf16(column));
    std::vector<std::string> values(columns.size());
    return guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) {
        b.scanTable(runtime::GbkToUtf16(table), names, [&](const std::vector<std::u16string>& texts) {
            for (size_t i = 0; i < values.size(); ++i) AssignGbk(texts[i], values[i]);
            row(values);
        });
    });
}

bool ConfigDatabase::TableColumns(const std::string& table, std::vector<std::string>& columns) {
    columns.clear();
    bool found = false;
    const bool answered = guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) {
        std::optional<std::vector<std::u16string>> names = b.tableColumns(runtime::GbkToUtf16(table));
        found = names.has_value();
        if (found)
            for (const std::u16string& name : *names) columns.push_back(runtime::Utf16ToGbk(name));
    });
    return answered && found;
}

bool ConfigDatabase::WriteRows(const std::string& table, const std::vector<RowWrite>& rows) {
    return guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) {
        auto wide = [](const std::vector<std::pair<std::string, std::string>>& cells) {
            std::vector<std::pair<std::u16string, std::u16string>> out;
            out.reserve(cells.size());
            for (const auto& [column, text] : cells) {
                out.emplace_back(runtime::GbkToUtf16(column), runtime::GbkToUtf16(text));
            }
            return out;
        };
        std::vector<WideRowWrite> writes;
        writes.reserve(rows.size());
        for (const RowWrite& row : rows) writes.push_back({wide(row.match), wide(row.values)});
        b.writeRows(runtime::GbkToUtf16(table), writes);
    });
}

bool ConfigDatabase::SaveCopy(const std::string& path) {
    return guarded(backend_.get(), lastError_, [&](ConfigDatabaseBackend& b) { b.saveCopy(path); });
}

void ConfigDatabase::CloseConnection() {
    try {
        if (backend_) backend_->closeResult();
    } catch (...) {
    }
    backend_.reset();
}

}  // namespace catalogue
