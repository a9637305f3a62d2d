// The program's statements: a small tokenizer, a recursive-descent parser for the four statement shapes,
// and their execution as one atomic engine statement.
#include "jet/sql.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "jet/error.h"
#include "jet/rows.h"

namespace jet::sql {
namespace {

// ---------------------------------------------------------------------------------------------------------
// Case folding for the General sort order's equality.

// Code points first..last fold by adding `delta`; with `alternate`, only every other one does (first,
// first + 2, ...), the ones between being the lower-case partners already.
struct FoldRange {
    char16_t first;
    char16_t last;
    int16_t delta;
    bool alternate;
};

// Unicode simple case folding for Latin (Basic, Latin-1, Extended-A and the pinyin letters of Extended-B),
// Greek, Cyrillic and the full-width Latin letters. Sorted by `first`.
constexpr FoldRange kFoldRanges[] = {
    {0x0041, 0x005A, 32, false},     // A-Z
    {0x00B5, 0x00B5, 775, false},    // micro sign -> Greek mu
    {0x00C0, 0x00D6, 32, false},     // À-Ö
    {0x00D8, 0x00DE, 32, false},     // Ø-Þ
    {0x0100, 0x012F, 1, true},       // Ā ā ... Į į
    {0x0132, 0x0137, 1, true},       // Ĳ ĳ ... Ķ ķ
    {0x0139, 0x0148, 1, true},       // Ĺ ĺ ... Ň ň
    {0x014A, 0x0177, 1, true},       // Ŋ ŋ ... Ŷ ŷ
    {0x0178, 0x0178, -121, false},   // Ÿ -> ÿ
    {0x0179, 0x017E, 1, true},       // Ź ź ... Ž ž
    {0x017F, 0x017F, -268, false},   // long s -> s
    {0x01CD, 0x01DC, 1, true},       // Ǎ ǎ ... Ǜ ǜ (pinyin tones)
    {0x01DE, 0x01EF, 1, true},       // Ǟ ǟ ... Ǯ ǯ
    {0x01F8, 0x021F, 1, true},       // Ǹ ǹ ... Ȟ ȟ
    {0x0222, 0x0233, 1, true},       // Ȣ ȣ ... Ȳ ȳ
    {0x0345, 0x0345, 116, false},    // combining ypogegrammeni -> iota
    {0x0370, 0x0373, 1, true},       // Ͱ ͱ Ͳ ͳ
    {0x0376, 0x0376, 1, false},      // Ͷ
    {0x037F, 0x037F, 116, false},    // Ϳ -> ϳ
    {0x0386, 0x0386, 38, false},     // Ά
    {0x0388, 0x038A, 37, false},     // Έ Ή Ί
    {0x038C, 0x038C, 64, false},     // Ό
    {0x038E, 0x038F, 63, false},     // Ύ Ώ
    {0x0391, 0x03A1, 32, false},     // Α-Ρ
    {0x03A3, 0x03AB, 32, false},     // Σ-Ϋ
    {0x03C2, 0x03C2, 1, false},      // final sigma -> sigma
    {0x03CF, 0x03CF, 8, false},      // Ϗ
    {0x03D0, 0x03D0, -30, false},    // ϐ -> β
    {0x03D1, 0x03D1, -25, false},    // ϑ -> θ
    {0x03D5, 0x03D5, -15, false},    // ϕ -> φ
    {0x03D6, 0x03D6, -22, false},    // ϖ -> π
    {0x03D8, 0x03EF, 1, true},       // Ϙ ϙ ... Ϯ ϯ
    {0x03F0, 0x03F0, -54, false},    // ϰ -> κ
    {0x03F1, 0x03F1, -48, false},    // ϱ -> ρ
    {0x03F4, 0x03F4, -60, false},    // ϴ -> θ
    {0x03F5, 0x03F5, -64, false},    // ϵ -> ε
    {0x03F7, 0x03F7, 1, false},      // Ϸ
    {0x03F9, 0x03F9, -7, false},     // Ϲ -> ϲ
    {0x03FA, 0x03FA, 1, false},      // Ϻ
    {0x03FD, 0x03FF, -130, false},   // Ͻ Ͼ Ͽ
    {0x0400, 0x040F, 80, false},     // Ѐ-Џ
    {0x0410, 0x042F, 32, false},     // А-Я
    {0x0460, 0x0481, 1, true},       // Ѡ ѡ ... Ҁ ҁ
    {0x048A, 0x04BF, 1, true},       // Ҋ ҋ ... Ҿ ҿ
    {0x04C0, 0x04C0, 15, false},     // Ӏ -> ӏ
    {0x04C1, 0x04CE, 1, true},       // Ӂ ӂ ... Ӎ ӎ
    {0x04D0, 0x052F, 1, true},       // Ӑ ӑ ... Ԯ ԯ
    {0xFF21, 0xFF3A, 32, false},     // full-width Ａ-Ｚ
};

char16_t foldCase(char16_t c) {
    if (c < 0x41) return c;
    if (c <= 0x7F) return (c <= 0x5A) ? static_cast<char16_t>(c + 32) : c;
    // Last range whose first code point is <= c.
    const FoldRange* end = std::end(kFoldRanges);
    const FoldRange* it = std::upper_bound(std::begin(kFoldRanges), end, c,
                                           [](char16_t value, const FoldRange& r) { return value < r.first; });
    if (it == std::begin(kFoldRanges)) return c;
    const FoldRange& range = *(it - 1);
    if (c > range.last) return c;
    if (range.alternate && (c - range.first) % 2 != 0) return c;
    return static_cast<char16_t>(c + range.delta);
}

std::u16string_view trimTrailingBlanks(std::u16string_view text) {
    size_t n = text.size();
    while (n > 0 && text[n - 1] == u' ') --n;
    return text.substr(0, n);
}

// ---------------------------------------------------------------------------------------------------------
// Tokens.

std::string quoteForMessage(std::u16string_view text) { return "\"" + toUtf8(std::u16string(text)) + "\""; }

struct Token {
    enum class Kind { Word, QuotedName, Literal, Symbol, End } kind = Kind::End;
    std::u16string text;  // the word, the name without its quotes, the literal's value, or the symbol
    size_t position = 0;  // 1-based character position in the statement
};

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isWordStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || (c >= 0x80 && c != 0x3000);
}
bool isWordPart(char16_t c) { return isWordStart(c) || isDigit(c); }

std::vector<Token> tokenize(std::u16string_view text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        size_t start = i;
        if (isBlank(c)) {
            ++i;
            continue;
        }
        Token token;
        token.position = start + 1;
        if (isWordStart(c)) {
            while (i < text.size() && isWordPart(text[i])) ++i;
            token.kind = Token::Kind::Word;
            token.text = text.substr(start, i - start);
        } else if (c == u'[' || c == u'`') {
            char16_t close = (c == u'[') ? u']' : u'`';
            size_t end = text.find(close, i + 1);
            if (end == std::u16string_view::npos) {
                throw Error("statement error: the name starting at character " + std::to_string(token.position) +
                            " has no closing " + (close == u']' ? "']'" : "'`'"));
            }
            token.kind = Token::Kind::QuotedName;
            token.text = text.substr(i + 1, end - i - 1);
            if (token.text.empty()) {
                throw Error("statement error: empty name at character " + std::to_string(token.position));
            }
            i = end + 1;
        } else if (c == u'\'') {
            token.kind = Token::Kind::Literal;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == u'\'') {
                    if (i + 1 < text.size() && text[i + 1] == u'\'') {  // '' stands for one quote
                        token.text.push_back(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token.text.push_back(text[i++]);
            }
            if (!closed) {
                throw Error("statement error: the text starting at character " + std::to_string(token.position) +
                            " has no closing quote");
            }
        } else if (isDigit(c) || ((c == u'-' || c == u'.') && i + 1 < text.size() && isDigit(text[i + 1]))) {
            size_t end = i + 1;
            while (end < text.size() && (isWordPart(text[end]) || text[end] == u'.')) ++end;
            throw Error("statement error: number " + quoteForMessage(text.substr(i, end - i)) + " at character " +
                        std::to_string(token.position) + " must be written as text in single quotes");
        } else if (c == u'(' || c == u')' || c == u',' || c == u'=' || c == u'*' || c == u';') {
            token.kind = Token::Kind::Symbol;
            token.text = std::u16string(1, c);
            ++i;
        } else {
            throw Error("statement error: unexpected character " + quoteForMessage(text.substr(i, 1)) +
                        " at character " + std::to_string(token.position));
        }
        tokens.push_back(std::move(token));
    }
    Token end;
    end.kind = Token::Kind::End;
    end.position = text.size() + 1;
    tokens.push_back(end);
    return tokens;
}

bool equalsKeyword(std::u16string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (foldCase(word[i]) != static_cast<char16_t>(keyword[i] | 0x20)) return false;
    }
    return true;
}

// Words that cannot be bare names: the keywords of the statements and of the SQL the program never sends.
constexpr std::string_view kReservedWords[] = {"select", "from",   "where", "and",  "or",     "not",
                                               "delete", "insert", "into",  "values", "update", "set",
                                               "like",   "in",     "is",    "null", "between", "order",
                                               "by",     "group",  "having", "top", "distinct", "as"};

bool isReserved(std::u16string_view word) {
    return std::any_of(std::begin(kReservedWords), std::end(kReservedWords),
                       [&](std::string_view k) { return equalsKeyword(word, k); });
}

std::string describe(const Token& token) {
    switch (token.kind) {
    case Token::Kind::End: return "the end of the statement";
    case Token::Kind::Word: return quoteForMessage(token.text);
    case Token::Kind::QuotedName: return "name " + quoteForMessage(token.text);
    case Token::Kind::Literal: return "text '" + toUtf8(token.text) + "'";
    case Token::Kind::Symbol: return "'" + toUtf8(token.text) + "'";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------------------------
// Parser.

class Parser {
public:
    explicit Parser(std::u16string_view text) : tokens_(tokenize(text)) {}

    Statement statement() {
        Statement result;
        if (acceptKeyword("select")) {
            result.kind = Statement::Kind::Select;
            expectSymbol(u'*', "'*' after SELECT");
            expectKeyword("from", "FROM");
            result.table = name("a table name after FROM");
            optionalWhere(result);
        } else if (acceptKeyword("delete")) {
            result.kind = Statement::Kind::Delete;
            expectKeyword("from", "FROM after DELETE");
            result.table = name("a table name after FROM");
            optionalWhere(result);
        } else if (acceptKeyword("insert")) {
            result.kind = Statement::Kind::Insert;
            expectKeyword("into", "INTO after INSERT");
            result.table = name("a table name after INTO");
            expectSymbol(u'(', "'(' and the column names");
            do {
                result.columns.push_back(name("a column name"));
            } while (acceptSymbol(u','));
            expectSymbol(u')', "',' or ')' after a column name");
            expectKeyword("values", "VALUES");
            size_t valuesAt = peek().position;
            expectSymbol(u'(', "'(' after VALUES");
            do {
                result.values.push_back(literal("a value in single quotes"));
            } while (acceptSymbol(u','));
            expectSymbol(u')', "',' or ')' after a value");
            if (result.values.size() != result.columns.size()) {
                throw Error("statement error: " + std::to_string(result.columns.size()) + " columns but " +
                            std::to_string(result.values.size()) + " values in the VALUES list at character " +
                            std::to_string(valuesAt));
            }
        } else if (acceptKeyword("update")) {
            result.kind = Statement::Kind::Update;
            result.table = name("a table name after UPDATE");
            expectKeyword("set", "SET");
            do {
                result.columns.push_back(name("a column name"));
                expectSymbol(u'=', "'=' after the column name");
                result.values.push_back(literal("a value in single quotes"));
            } while (acceptSymbol(u','));
            optionalWhere(result);
        } else {
            fail("SELECT, INSERT, UPDATE or DELETE");
        }
        acceptSymbol(u';');
        if (peek().kind != Token::Kind::End) fail("the end of the statement");
        return result;
    }

private:
    const Token& peek() const { return tokens_[next_]; }
    const Token& take() { return tokens_[next_ < tokens_.size() - 1 ? next_++ : next_]; }

    [[noreturn]] void fail(const std::string& expected) const {
        const Token& token = peek();
        throw Error("statement error at character " + std::to_string(token.position) + ": expected " + expected +
                    ", found " + describe(token));
    }

    bool acceptKeyword(std::string_view keyword) {
        if (peek().kind == Token::Kind::Word && equalsKeyword(peek().text, keyword)) {
            take();
            return true;
        }
        return false;
    }
    void expectKeyword(std::string_view keyword, const std::string& expected) {
        if (!acceptKeyword(keyword)) fail(expected);
    }
    bool acceptSymbol(char16_t symbol) {
        if (peek().kind == Token::Kind::Symbol && peek().text[0] == symbol) {
            take();
            return true;
        }
        return false;
    }
    void expectSymbol(char16_t symbol, const std::string& expected) {
        if (!acceptSymbol(symbol)) fail(expected);
    }
    std::u16string name(const std::string& expected) {
        const Token& token = peek();
        if (token.kind == Token::Kind::QuotedName || (token.kind == Token::Kind::Word && !isReserved(token.text))) {
            return take().text;
        }
        fail(expected);
    }
    std::u16string literal(const std::string& expected) {
        if (peek().kind != Token::Kind::Literal) fail(expected);
        return take().text;
    }
    void optionalWhere(Statement& result) {
        if (!acceptKeyword("where")) return;
        do {
            Condition condition;
            condition.column = name("a column name in the condition");
            expectSymbol(u'=', "'=' after the column name");
            condition.literal = literal("a value in single quotes after '='");
            result.where.push_back(std::move(condition));
        } while (acceptKeyword("and"));
    }

    std::vector<Token> tokens_;
    size_t next_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// Execution.

std::string columnLabel(const TableDef& table, size_t column) {
    return quoteForMessage(table.columns[column].name) + " of table " + quoteForMessage(table.name);
}

bool isWholeNumber(ColumnType type) {
    return type == ColumnType::Byte || type == ColumnType::Integer || type == ColumnType::Long;
}

// A decimal whole number with optional blanks around it and an optional sign; nullopt for anything else.
std::optional<int64_t> parseDecimal(std::u16string_view text) {
    size_t i = 0, end = text.size();
    while (i < end && text[i] == u' ') ++i;
    while (end > i && text[end - 1] == u' ') --end;
    bool negative = false;
    if (i < end && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i == end) return std::nullopt;
    int64_t value = 0;
    for (; i < end; ++i) {
        if (!isDigit(text[i])) return std::nullopt;
        value = value * 10 + (text[i] - u'0');
        if (value > (int64_t{1} << 40)) return std::nullopt;  // far past every column's range
    }
    return negative ? -value : value;
}

void checkRange(const TableDef& table, size_t column, int64_t value) {
    int64_t low = INT32_MIN, high = INT32_MAX;
    switch (table.columns[column].type) {
    case ColumnType::Byte: low = 0; high = 255; break;
    case ColumnType::Integer: low = -32768; high = 32767; break;
    default: break;
    }
    if (value < low || value > high) {
        throw Error("the value " + std::to_string(value) + " is out of range for column " +
                    columnLabel(table, column) + " (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    }
}

// Resolves a column name of the statement, or throws naming it.
size_t resolveColumn(const TableDef& table, std::u16string_view name) {
    int index = table.findColumn(name);
    if (index < 0) {
        throw Error("table " + quoteForMessage(table.name) + " has no column named " + quoteForMessage(name));
    }
    return static_cast<size_t>(index);
}

// One resolved WHERE term.
struct Test {
    size_t column;
    bool numeric = false;
    int64_t number = 0;
    std::u16string text;
};

std::vector<Test> resolveConditions(const TableDef& table, const std::vector<Condition>& where) {
    std::vector<Test> tests;
    for (const Condition& condition : where) {
        Test test;
        test.column = resolveColumn(table, condition.column);
        ColumnType type = table.columns[test.column].type;
        if (type == ColumnType::Text || type == ColumnType::Memo) {
            test.text = condition.literal;
        } else if (isWholeNumber(type)) {
            std::optional<int64_t> number = parseDecimal(condition.literal);
            if (!number) {
                throw Error("type mismatch in the condition: column " + columnLabel(table, test.column) +
                            " is a number and '" + toUtf8(condition.literal) + "' is not");
            }
            test.numeric = true;
            test.number = *number;
        } else {
            throw Error("column " + columnLabel(table, test.column) + " is " + columnTypeName(type) +
                        ": conditions compare only Text, Memo and whole-number columns");
        }
        tests.push_back(std::move(test));
    }
    return tests;
}

// The tests of a statement as one scan applies them to row after row. Text goes into `scratch`, whose
// storage is reused from row to row; each test reads its memo column in a pass of its own (`parts`), so that
// a column named twice is not taken for two values sharing their long-value pages.
struct Matcher {
    const Database& db;
    const TableDef& table;
    const std::vector<Test>& tests;
    std::u16string scratch;
    std::vector<LongValueParts> parts;

    Matcher(const Database& db, const TableDef& table, const std::vector<Test>& tests)
        : db(db), table(table), tests(tests), parts(tests.size()) {}

    // Whether a row's stored bytes meet every test. Only the condition columns are decoded.
    bool matches(const ByteView& row) {
        for (size_t i = 0; i < tests.size(); ++i) {
            const Test& test = tests[i];
            if (test.numeric) {
                Value value = decodeColumn(table, row, test.column, db.pages());
                const int64_t* number = std::get_if<int64_t>(&value);
                if (!number || *number != test.number) return false;
            } else if (table.columns[test.column].type == ColumnType::Text) {
                if (!readText(table, row, test.column, scratch) || !textEquals(scratch, test.text)) return false;
            } else {
                Value value = decodeColumn(table, row, test.column, db.pages(), &parts[i]);
                const std::u16string* text = std::get_if<std::u16string>(&value);
                if (!text || !textEquals(*text, test.text)) return false;
            }
        }
        return true;
    }
};

// The ids of the rows that meet every test, in table order.
std::vector<RowId> matchingRows(const Database& db, const TableDef& table, const std::vector<Test>& tests) {
    std::vector<RowId> ids;
    Matcher matcher(db, table, tests);
    db.scanRows(table, [&](RowId id, const ByteView& row) {
        if (matcher.matches(row)) ids.push_back(id);
        return true;
    });
    return ids;
}

// The target columns of an INSERT or UPDATE with their values, checked before anything is written.
std::vector<ColumnChange> resolveAssignments(const TableDef& table, const Statement& statement, bool update) {
    if (statement.columns.size() != statement.values.size()) {
        throw Error("statement error: " + std::to_string(statement.columns.size()) + " columns but " +
                    std::to_string(statement.values.size()) + " values");
    }
    std::vector<ColumnChange> changes;
    for (size_t i = 0; i < statement.columns.size(); ++i) {
        size_t column = resolveColumn(table, statement.columns[i]);
        for (const ColumnChange& earlier : changes) {
            if (earlier.column == column) {
                throw Error("column " + columnLabel(table, column) + " is named twice in the statement");
            }
        }
        if (update && table.columns[column].isAutoNumber()) {
            throw Error("column " + columnLabel(table, column) + " is an AutoNumber and cannot be changed");
        }
        changes.push_back({column, columnValue(table, column, statement.values[i])});
    }
    return changes;
}

}  // namespace

bool textEquals(std::u16string_view a, std::u16string_view b) {
    a = trimTrailingBlanks(a);
    b = trimTrailingBlanks(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x == y) continue;
        if ((x | y) < 0x80) {  // both ASCII: equal only as the two cases of one letter
            char16_t lower = x | 0x20;
            if (lower != (y | 0x20) || lower < u'a' || lower > u'z') return false;
        } else if (foldCase(x) != foldCase(y)) {
            return false;
        }
    }
    return true;
}

Statement parse(std::u16string_view text) { return Parser(text).statement(); }

Value columnValue(const TableDef& table, size_t column, std::u16string_view literal) {
    if (column >= table.columns.size()) throw Error("column number out of range");
    const Column& def = table.columns[column];
    switch (def.type) {
    case ColumnType::Text: {
        size_t limit = def.length / 2;
        if (literal.size() > limit) {
            throw Error("the value for column " + columnLabel(table, column) + " is " +
                        std::to_string(literal.size()) + " characters long; the column holds at most " +
                        std::to_string(limit));
        }
        return std::u16string(literal);
    }
    case ColumnType::Memo:
        return std::u16string(literal);
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long: {
        std::optional<int64_t> number = parseDecimal(literal);
        if (!number) {
            throw Error("column " + columnLabel(table, column) + " takes a whole number, not '" + toUtf8(std::u16string(literal)) +
                        "'");
        }
        checkRange(table, column, *number);
        return *number;
    }
    default:
        throw Error("column " + columnLabel(table, column) + " is " + columnTypeName(def.type) +
                    ": statements set only Text, Memo and whole-number columns");
    }
}

const TableDef& select(const Database& db, const Statement& statement,
                       const std::function<void(RowId, const Row&)>& row) {
    if (statement.kind != Statement::Kind::Select) throw Error("only a SELECT statement gives rows to read");
    const TableDef& table = db.table(statement.table);
    std::vector<Test> tests = resolveConditions(table, statement.where);
    // The tests read their memo columns through parts of their own, the row's values through the cursor's:
    // testing a row and then decoding it whole are two readings of its long values.
    Matcher matcher(db, table, tests);
    RowCursor cursor(db, table);
    Row values;
    while (cursor.next()) {
        if (!tests.empty() && !matcher.matches(cursor.bytes())) continue;
        cursor.values(values);
        row(cursor.id(), values);
    }
    return table;
}

Result execute(Database& db, const Statement& statement) {
    const TableDef& table = db.table(statement.table);
    const std::u16string tableName = table.name;
    std::vector<Test> tests = resolveConditions(table, statement.where);
    Result result;

    switch (statement.kind) {
    case Statement::Kind::Select:
        result.table = &select(db, statement, [&](RowId id, const Row& values) {
            result.rows.push_back(StoredRow{id, values});
        });
        return result;
    case Statement::Kind::Insert: {
        std::vector<ColumnChange> changes = resolveAssignments(table, statement, false);
        Row row(table.columns.size());  // unnamed columns stay null; a null AutoNumber takes the next number
        for (ColumnChange& change : changes) row[change.column] = std::move(change.value);
        db.statement([&] { db.insertRow(table, row); });
        result.affected = 1;
        break;
    }
    case Statement::Kind::Update: {
        std::vector<ColumnChange> changes = resolveAssignments(table, statement, true);
        db.statement([&] {
            std::vector<RowId> ids = matchingRows(db, table, tests);
            for (RowId id : ids) db.updateRow(table, id, changes);
            result.affected = ids.size();
        });
        break;
    }
    case Statement::Kind::Delete: {
        db.statement([&] {
            std::vector<RowId> ids = matchingRows(db, table, tests);
            for (RowId id : ids) db.deleteRow(table, id);
            result.affected = ids.size();
        });
        break;
    }
    }
    result.table = db.findTable(tableName);
    return result;
}

}  // namespace jet::sql
