// quillon-db: look into and change a Jet 4 database from the command line, through the program's own engine.
//
//   quillon-db tables FILE              user tables, one per line
//   quillon-db schema FILE TABLE        columns (type, size, flags) and indexes (columns, flags)
//   quillon-db export FILE TABLE        the rows as CSV, in the same form as mdb-export's defaults
//   quillon-db sql FILE STATEMENT       one statement: a SELECT prints CSV, others the number of rows changed
//   quillon-db check FILE               the engine's consistency check: "ok", or the problems and exit 1
//   quillon-db template OUT             writes the configuration database the program starts from
//   quillon-db import FILE SOURCE ...   servers from a table or another program's files (transfer_commands.h)
//   quillon-db export-servers FILE OUT  the servers as a CSV file (transfer_commands.h)
//
// Texts on the command line and in the output are UTF-8.
//
// One writer at a time: `sql` with a statement that changes rows, and `template` over an existing file, are
// refused with one line ("... is in use ...") while another program (the Quillon program itself, say) has the
// file open for changes. The commands that only read (`tables`, `schema`, `export`, `check`, a SELECT) read
// a consistent copy of the file even then, and never change it or its journal.
//
// The CSV matches what mdb-export (mdbtools 1.0) prints without options, so that the two can be compared
// byte for byte:
//   - a header line of the column names, unquoted, separated by commas; every line ends with "\n";
//   - Text, Memo, Binary, OLE, GUID and date values in double quotes, a quote inside doubled, line breaks
//     and other control characters left as they are;
//   - a Text, Memo or Binary value ends at its first zero character (mdb-export reads them as C strings),
//     and an empty one prints like a null: nothing at all; an empty OLE value prints as "";
//   - null prints nothing; Boolean 1 or 0; Byte, Integer, Long in decimal; Currency with exactly four
//     decimals; Single as printf "%.8g", Double as "%.16g"; Numeric in decimal with its scale;
//   - dates as "%m/%d/%y %H:%M:%S" in the C locale, the seconds rounded without carrying into the next day
//     (so a time a half second before midnight prints as 24:00:00), and a date before day 0 or after day
//     1,000,000 as "01/00/00 00:00:00";
//   - GUIDs as {00112233-4455-6677-8899AABBCCDDEEFF} (no dash before the last twelve digits);
//   - characters outside the Basic Multilingual Plane as one '?' per UTF-16 unit.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "catalogue/config_template.h"
#include "command_line.h"
#include "transfer_commands.h"
#include "catalogue/value_text.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  quillon-db tables FILE              list the user tables\n"
    "  quillon-db schema FILE TABLE        show a table's columns and indexes\n"
    "  quillon-db export FILE TABLE        print a table's rows as CSV (as mdb-export does)\n"
    "  quillon-db sql FILE STATEMENT       run one SELECT, INSERT, UPDATE or DELETE statement\n"
    "  quillon-db check FILE               check the file's consistency\n"
    "  quillon-db template OUT             write the empty configuration database to OUT\n"
    "  quillon-db import FILE SOURCE [--update] [--master-password P]\n"
    "                                      add the servers of SOURCE (a table, .rdp files, .rdg, confCons.xml)\n"
    "  quillon-db export-servers FILE OUT [--with-passwords]\n"
    "                                      write the servers to OUT as CSV\n";

// A failure that names the file it is about.
struct ToolError {
    std::string file;
    std::string message;
};

// ---------------------------------------------------------------------------------------------------------
// CSV in mdb-export's form.

// UTF-16 as mdb-export converts it: a zero character ends the text, surrogates become '?'.
void appendText(std::string& out, std::u16string_view text, bool quoteDoubling) {
    for (char16_t c : text) {
        if (c == 0) break;
        if (c < 0x80) {
            if (c == u'"' && quoteDoubling) out += '"';
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

void appendQuotedBytes(std::string& out, const jet::Bytes& bytes, size_t length) {
    out += '"';
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == '"') out += '"';
        out += static_cast<char>(bytes[i]);
    }
    out += '"';
}

void appendDate(std::string& out, double oleDays) {
    char text[40];
    if (!(oleDays >= 0.0 && oleDays <= 1e6)) {
        out += "\"01/00/00 00:00:00\"";
        return;
    }
    double day = std::floor(oleDays);
    long seconds = std::lround((oleDays - day) * 86400.0);  // 86400 stays on the same day, as 24:00:00
    catalogue::DateParts parts = catalogue::SplitOleDate(day);
    std::snprintf(text, sizeof text, "\"%02d/%02d/%02d %02ld:%02ld:%02ld\"", parts.month, parts.day, parts.year % 100,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    out += text;
}

void appendGuid(std::string& out, const jet::Guid& guid) {
    const auto& b = guid.bytes;
    char text[48];
    std::snprintf(text, sizeof text, "\"{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X%02X%02X}\"", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    out += text;
}

void appendCurrency(std::string& out, const jet::Currency& value) {
    int64_t amount = value.tenThousandths;
    uint64_t magnitude = amount < 0 ? 0 - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
    char text[40];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", amount < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000), static_cast<unsigned long long>(magnitude % 10000));
    out += text;
}

void appendValue(std::string& out, const jet::Column& column, const jet::Value& value) {
    char text[40];
    switch (value.index()) {
    case 0: return;  // null
    case 1: out += std::get<bool>(value) ? '1' : '0'; return;
    case 2: out += std::to_string(std::get<int64_t>(value)); return;
    case 3:
        std::snprintf(text, sizeof text, column.type == jet::ColumnType::Single ? "%.8g" : "%.16g",
                      std::get<double>(value));
        out += text;
        return;
    case 4: {
        const std::u16string& s = std::get<std::u16string>(value);
        if (s.empty() || s[0] == 0) return;
        out += '"';
        appendText(out, s, true);
        out += '"';
        return;
    }
    case 5: {
        const jet::Bytes& bytes = std::get<jet::Bytes>(value);
        if (column.type == jet::ColumnType::OLE) {
            appendQuotedBytes(out, bytes, bytes.size());
        } else {
            size_t length = 0;
            while (length < bytes.size() && bytes[length] != 0) ++length;
            if (length > 0) appendQuotedBytes(out, bytes, length);
        }
        return;
    }
    case 6: appendCurrency(out, std::get<jet::Currency>(value)); return;
    case 7: appendDate(out, std::get<jet::DateTime>(value).oleDays); return;
    case 8: appendGuid(out, std::get<jet::Guid>(value)); return;
    case 9: out += catalogue::NumericText(std::get<jet::Numeric>(value)); return;
    }
}

std::string csv(const jet::TableDef& table, const std::vector<jet::StoredRow>& rows) {
    std::string out;
    out.reserve(64 + rows.size() * (table.columns.size() * 12 + 16));
    for (size_t c = 0; c < table.columns.size(); ++c) {
        if (c) out += ',';
        appendText(out, table.columns[c].name, false);
    }
    out += '\n';
    for (const jet::StoredRow& row : rows) {
        for (size_t c = 0; c < table.columns.size(); ++c) {
            if (c) out += ',';
            if (c < row.values.size()) appendValue(out, table.columns[c], row.values[c]);
        }
        out += '\n';
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------------
// Commands.

std::string utf8(const std::u16string& text) { return jet::toUtf8(text); }

// Opens the file for reading only, or for changes (`write`). What opening did besides (a journal that did not
// belong to the file, set aside) is said on stderr.
std::unique_ptr<jet::Database> openDatabase(const std::string& path, bool write = false) {
    std::unique_ptr<jet::Database> db;
    try {
        db = write ? jet::Database::open(path) : jet::Database::openForReading(path);
    } catch (const std::exception& e) {
        throw ToolError{path, e.what()};
    }
    if (!db->openingNote().empty()) std::fprintf(stderr, "quillon-db: %s: %s\n", path.c_str(), db->openingNote().c_str());
    return db;
}

const jet::TableDef& findTable(const jet::Database& db, const std::string& file, const std::string& name) {
    const jet::TableDef* table = db.findTable(jet::fromUtf8(name));
    if (!table) throw ToolError{file, "no table named \"" + name + "\""};
    return *table;
}

std::string tablesCommand(const std::string& file) {
    auto db = openDatabase(file);
    std::string out;
    for (const std::u16string& name : db->tableNames()) out += utf8(name) + "\n";
    return out;
}

std::string columnSize(const jet::Column& column) {
    if (column.type == jet::ColumnType::Text) return std::to_string(column.length / 2) + " characters";
    if (column.isLongValue()) return "long value";
    if (column.type == jet::ColumnType::Numeric) {
        return "precision " + std::to_string(column.precision) + ", scale " + std::to_string(column.scale);
    }
    return std::to_string(column.length) + (column.length == 1 ? " byte" : " bytes");
}

// Pads `text` with blanks to `width` characters (UTF-8 characters, not bytes).
std::string padded(const std::string& text, size_t width) {
    size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    return text + std::string(width > characters ? width - characters : 0, ' ');
}

std::string schemaCommand(const std::string& file, const std::string& tableName) {
    auto db = openDatabase(file);
    const jet::TableDef& table = findTable(*db, file, tableName);
    std::string out = "table " + utf8(table.name) + ": " + std::to_string(table.rowCount) +
                      (table.rowCount == 1 ? " row\n" : " rows\n");
    size_t nameWidth = 4;
    for (const jet::Column& column : table.columns) nameWidth = std::max(nameWidth, utf8(column.name).size());
    out += "\ncolumns:\n";
    for (const jet::Column& column : table.columns) {
        std::string flags;
        auto add = [&flags](const char* flag) { flags += (flags.empty() ? "" : ", ") + std::string(flag); };
        if (column.isAutoNumber()) add("AutoNumber");
        if (column.isFixed()) add("fixed length");
        if (column.flags & 0x02) add("nullable");
        if (column.extraFlags & 0x01) add("compressed unicode");
        std::string line = "  ";
        line += padded(utf8(column.name), nameWidth);
        line += "  ";
        line += padded(jet::columnTypeName(column.type), 8);
        line += "  ";
        line += padded(columnSize(column), 14);
        if (!flags.empty()) line += "  " + flags;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    out += "\nindexes:";
    out += table.logicalIndexes.empty() ? " none\n" : "\n";
    for (const jet::LogicalIndex& index : table.logicalIndexes) {
        out += "  " + utf8(index.name) + ":";
        const jet::RealIndex* real = nullptr;
        for (const jet::RealIndex& r : table.realIndexes) {
            if (r.number == index.realIndex) real = &r;
        }
        if (!real) {
            out += " refers to real index " + std::to_string(index.realIndex) + ", which the table does not have\n";
            continue;
        }
        for (size_t k = 0; k < real->columns.size(); ++k) {
            const jet::RealIndex::KeyColumn& key = real->columns[k];
            std::string name = "#";
            name += std::to_string(key.column);
            for (const jet::Column& column : table.columns) {
                if (column.number == key.column) name = utf8(column.name);
            }
            out += (k ? ", " : " ") + name + (key.ascending ? "" : " descending");
        }
        std::string flags;
        auto add = [&flags](const char* flag) { flags += (flags.empty() ? "" : ", ") + std::string(flag); };
        if (index.type == 1) add("primary key");
        if (index.type == 2) add("foreign key");
        if (real->flags & 0x01) add("unique");
        if (real->flags & 0x02) add("ignore nulls");
        if (real->flags & 0x08) add("required");
        if (!flags.empty()) out += "  (" + flags + ")";
        out += "\n";
    }
    return out;
}

std::string exportCommand(const std::string& file, const std::string& tableName) {
    auto db = openDatabase(file);
    const jet::TableDef& table = findTable(*db, file, tableName);
    try {
        return csv(table, db->readRows(table));
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
}

std::string sqlCommand(const std::string& file, const std::string& statementText) {
    jet::sql::Statement statement;
    try {
        statement = jet::sql::parse(jet::fromUtf8(statementText));
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
    auto db = openDatabase(file, statement.kind != jet::sql::Statement::Kind::Select);
    try {
        jet::sql::Result result = jet::sql::execute(*db, statement);
        if (statement.kind == jet::sql::Statement::Kind::Select) return csv(*result.table, result.rows);
        return std::to_string(result.affected) + "\n";
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
}

// Prints the problems; returns whether there were none.
bool checkCommand(const std::string& file, std::string& out) {
    auto db = openDatabase(file);
    std::vector<std::string> problems;
    try {
        problems = db->check();
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
    for (const std::string& problem : problems) out += problem + "\n";
    if (problems.empty()) out = "ok\n";
    return problems.empty();
}

// Writes the template to a new file, or over an existing one while holding its writer lock (so never under a
// program that has it open); flushed either way.
void templateCommand(const std::string& file) {
    try {
        std::vector<uint8_t> bytes = jet::createDatabase(catalogue::ConfigTemplateTables());
        jet::FileSystem& fs = jet::realFileSystem();
        if (fs.createNew(file, bytes.data(), bytes.size())) return;
        std::unique_ptr<jet::OpenFile> existing = fs.openDatabase(file);
        if (!existing->tryLock(jet::OpenFile::kWriterLock, true)) throw jet::InUseError(file);
        existing->truncate(0);
        existing->write(0, bytes.data(), bytes.size());
        existing->flush();
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
}

bool writeOut(const std::string& text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) return false;
    return std::fflush(stdout) == 0;
}

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    if (args.empty()) return usage();
    const std::string command = args.front();
    args.erase(args.begin());
    auto wants = [&](size_t count) { return args.size() == count; };
    if (command == "import") return ImportCommand(args);
    if (command == "export-servers") return ExportServersCommand(args);

    std::string out;
    int status = 0;
    try {
        if (command == "tables" && wants(1)) {
            out = tablesCommand(args[0]);
        } else if (command == "schema" && wants(2)) {
            out = schemaCommand(args[0], args[1]);
        } else if (command == "export" && wants(2)) {
            out = exportCommand(args[0], args[1]);
        } else if (command == "sql" && wants(2)) {
            out = sqlCommand(args[0], args[1]);
        } else if (command == "check" && wants(1)) {
            status = checkCommand(args[0], out) ? 0 : 1;
        } else if (command == "template" && wants(1)) {
            templateCommand(args[0]);
        } else if (command == "-h" || command == "--help" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            return usage();
        }
    } catch (const ToolError& e) {
        std::fprintf(stderr, "quillon-db: %s: %s\n", e.file.c_str(), e.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillon-db: %s\n", e.what());
        return 1;
    }
    if (!writeOut(out)) {
        std::fprintf(stderr, "quillon-db: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
