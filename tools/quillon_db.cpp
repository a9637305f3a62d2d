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
// the file as the last finished statement left it even then, and never change it or its journal; while one
// of them runs, the program's next change waits for it (see jet/page_store.h).
//
// `export` and a SELECT print each row as it is read, through one output buffer written out in large
// pieces: their memory does not grow with the table. When a damaged page stops them, the rows before it
// have been printed, and the error follows on stderr (exit 1).
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
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
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
// The output: one buffer, written to stdout in large pieces as it fills.

// A write to stdout that failed (errno says why).
struct OutputError {};

class Output {
public:
    static constexpr size_t kSize = 128 * 1024;

    Output() : buffer_(new char[kSize]) {}

    // Room for `count` more bytes (at most kSize): write them at the pointer, then advance().
    char* room(size_t count) {
        if (kSize - used_ < count) flush();
        return buffer_.get() + used_;
    }
    void advance(size_t count) { used_ += count; }
    void put(char c) { *room(1) = c, advance(1); }
    void put(std::string_view text) {
        while (!text.empty()) {
            size_t count = std::min(text.size(), kSize);
            std::memcpy(room(count), text.data(), count);
            advance(count);
            text.remove_prefix(count);
        }
    }
    void flush() {
        if (used_ && std::fwrite(buffer_.get(), 1, used_, stdout) != used_) throw OutputError{};
        used_ = 0;
        if (std::fflush(stdout) != 0) throw OutputError{};
    }

private:
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// CSV in mdb-export's form.

// UTF-16 as mdb-export converts it: a zero character ends the text, surrogates become '?'.
void appendText(Output& out, std::u16string_view text, bool quoteDoubling) {
    while (!text.empty()) {
        std::u16string_view piece = text.substr(0, Output::kSize / 3);  // at most 3 bytes a character
        char* start = out.room(3 * piece.size());
        char* p = start;
        for (char16_t c : piece) {
            if (c - 1u < 0x7Fu && c != u'"') {  // the usual: ASCII, neither zero nor a quote
                *p++ = static_cast<char>(c);
                continue;
            }
            if (c == 0) {
                out.advance(size_t(p - start));
                return;
            }
            if (c < 0x80) {
                if (c == u'"' && quoteDoubling) *p++ = '"';
                *p++ = static_cast<char>(c);
            } else if (c < 0x800) {
                *p++ = static_cast<char>(0xC0 | (c >> 6));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                *p++ = '?';
            } else {
                *p++ = static_cast<char>(0xE0 | (c >> 12));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        out.advance(size_t(p - start));
        text.remove_prefix(piece.size());
    }
}

void appendQuotedBytes(Output& out, const jet::Bytes& bytes, size_t length) {
    out.put('"');
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == '"') out.put('"');
        out.put(static_cast<char>(bytes[i]));
    }
    out.put('"');
}

void appendDate(Output& out, double oleDays) {
    char text[40];
    if (!(oleDays >= 0.0 && oleDays <= 1e6)) {
        out.put("\"01/00/00 00:00:00\"");
        return;
    }
    double day = std::floor(oleDays);
    long seconds = std::lround((oleDays - day) * 86400.0);  // 86400 stays on the same day, as 24:00:00
    catalogue::DateParts parts = catalogue::SplitOleDate(day);
    std::snprintf(text, sizeof text, "\"%02d/%02d/%02d %02ld:%02ld:%02ld\"", parts.month, parts.day, parts.year % 100,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    out.put(text);
}

void appendGuid(Output& out, const jet::Guid& guid) {
    const auto& b = guid.bytes;
    char text[48];
    std::snprintf(text, sizeof text, "\"{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X%02X%02X}\"", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    out.put(text);
}

void appendCurrency(Output& out, const jet::Currency& value) {
    int64_t amount = value.tenThousandths;
    uint64_t magnitude = amount < 0 ? 0 - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
    char text[40];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", amount < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000), static_cast<unsigned long long>(magnitude % 10000));
    out.put(text);
}

void appendValue(Output& out, const jet::Column& column, const jet::Value& value) {
    char text[40];
    switch (value.index()) {
    case 0: return;  // null
    case 1: out.put(std::get<bool>(value) ? '1' : '0'); return;
    case 2: {
        char* p = out.room(24);
        out.advance(size_t(std::to_chars(p, p + 24, std::get<int64_t>(value)).ptr - p));
        return;
    }
    case 3:
        std::snprintf(text, sizeof text, column.type == jet::ColumnType::Single ? "%.8g" : "%.16g",
                      std::get<double>(value));
        out.put(text);
        return;
    case 4: {
        const std::u16string& s = std::get<std::u16string>(value);
        if (s.empty() || s[0] == 0) return;
        out.put('"');
        appendText(out, s, true);
        out.put('"');
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
    case 9: out.put(catalogue::NumericText(std::get<jet::Numeric>(value))); return;
    }
}

void appendHeader(Output& out, const jet::TableDef& table) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
        if (c) out.put(',');
        appendText(out, table.columns[c].name, false);
    }
    out.put('\n');
}

void appendRow(Output& out, const jet::TableDef& table, const jet::Row& values) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
        if (c) out.put(',');
        if (c < values.size()) appendValue(out, table.columns[c], values[c]);
    }
    out.put('\n');
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

void exportCommand(const std::string& file, const std::string& tableName, Output& out) {
    auto db = openDatabase(file);
    const jet::TableDef& table = findTable(*db, file, tableName);
    appendHeader(out, table);
    try {
        jet::RowCursor cursor(*db, table);
        jet::Row values;
        while (cursor.next()) {
            cursor.values(values);
            appendRow(out, table, values);
        }
    } catch (const jet::Error& e) {
        throw ToolError{file, e.what()};
    }
}

std::string sqlCommand(const std::string& file, const std::string& statementText, Output& out) {
    jet::sql::Statement statement;
    try {
        statement = jet::sql::parse(jet::fromUtf8(statementText));
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
    bool select = statement.kind == jet::sql::Statement::Kind::Select;
    auto db = openDatabase(file, !select);
    try {
        if (select) {
            const jet::TableDef& table = db->table(statement.table);
            appendHeader(out, table);
            jet::sql::select(*db, statement, [&](jet::RowId, const jet::Row& values) { appendRow(out, table, values); });
            return {};
        }
        return std::to_string(jet::sql::execute(*db, statement).affected) + "\n";
    } catch (const jet::Error& e) {
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
// program that has it open) and its statement lock (so no reader sees it half written: readers open now are
// waited for); flushed either way.
void templateCommand(const std::string& file) {
    try {
        std::vector<uint8_t> bytes = jet::createDatabase(catalogue::ConfigTemplateTables());
        jet::FileSystem& fs = jet::realFileSystem();
        if (fs.createNew(file, bytes.data(), bytes.size())) return;
        std::unique_ptr<jet::OpenFile> existing = fs.openDatabase(file);
        if (!existing->tryLock(jet::OpenFile::kWriterLock, true)) throw jet::InUseError(file);
        existing->lock(jet::OpenFile::kStatementLock, true);
        existing->truncate(0);
        existing->write(0, bytes.data(), bytes.size());
        existing->flush();
    } catch (const std::exception& e) {
        throw ToolError{file, e.what()};
    }
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

    Output output;
    std::string out;
    int status = 0;
    try {
        try {
            if (command == "tables" && wants(1)) {
                out = tablesCommand(args[0]);
            } else if (command == "schema" && wants(2)) {
                out = schemaCommand(args[0], args[1]);
            } else if (command == "export" && wants(2)) {
                exportCommand(args[0], args[1], output);
            } else if (command == "sql" && wants(2)) {
                out = sqlCommand(args[0], args[1], output);
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
            output.put(out);
            output.flush();
        } catch (const ToolError& e) {
            output.flush();  // the rows read before the failure
            std::fprintf(stderr, "quillon-db: %s: %s\n", e.file.c_str(), e.message.c_str());
            return 1;
        } catch (const std::exception& e) {
            output.flush();
            std::fprintf(stderr, "quillon-db: %s\n", e.what());
            return 1;
        }
    } catch (const OutputError&) {
        std::fprintf(stderr, "quillon-db: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
