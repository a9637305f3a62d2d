// Text tables and pasted lines.
#include <array>
#include <optional>

#include "runtime/text_codec.h"
#include "transfer/import.h"
#include "transfer/text.h"

namespace transfer {
namespace {

enum Field { kAddress, kPort, kUser, kPassword, kNote, kExpiry, kFieldCount };

// Column names a header may use, blanks removed and ASCII in lower case.
struct HeaderName {
    std::u16string_view name;
    Field field;
};
constexpr HeaderName kHeaderNames[] = {
    {u"服务器ip", kAddress}, {u"服务器地址", kAddress}, {u"地址", kAddress},   {u"ip", kAddress},
    {u"host", kAddress},     {u"hostname", kAddress},   {u"address", kAddress}, {u"端口", kPort},
    {u"port", kPort},        {u"用户", kUser},          {u"用户名", kUser},     {u"user", kUser},
    {u"username", kUser},    {u"密码", kPassword},      {u"password", kPassword}, {u"备注", kNote},
    {u"名称", kNote},        {u"note", kNote},          {u"name", kNote},       {u"到期时间", kExpiry},
    {u"到期", kExpiry},      {u"expiry", kExpiry},
};

std::optional<Field> HeaderField(std::u16string_view cell) {
    std::u16string key;
    for (char16_t c : cell) {
        if (!text::IsBlank(c)) key += c;
    }
    key = text::AsciiLower(key);
    for (const HeaderName& header : kHeaderNames) {
        if (header.name == key) return header.field;
    }
    return std::nullopt;
}

// A row keeps at most this many cells (a server has six): a line of a million commas costs no more.
constexpr size_t kMaxCells = 256;

// A row's cells and the line it starts on.
struct Record {
    size_t line = 0;
    std::vector<std::u16string> cells;
    bool unclosedQuote = false;  // a quote opened on this row is never closed: the rest of the text is in it
    bool dropped = false;        // it had cells past kMaxCells with something in them

    void Add(std::u16string&& cell) {
        if (cells.size() < kMaxCells) {
            cells.push_back(std::move(cell));
        } else if (!cell.empty()) {
            dropped = true;
        }
    }
};

bool IsLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

// Rows of separated cells (RFC 4180): a cell in double quotes holds separators, line breaks and doubled
// quotes; text after its closing quote up to the separator is kept too. Unquoted cells are trimmed; quoted
// ones are kept exactly.
class SeparatedReader {
public:
    SeparatedReader(std::u16string_view text, char16_t separator) : text_(text), separator_(separator) {}

    bool Next(Record& record) {
        if (pos_ >= text_.size()) return false;
        record.line = line_;
        record.cells.clear();
        record.unclosedQuote = false;
        record.dropped = false;
        for (;;) {
            std::u16string cell;
            size_t start = pos_;
            while (pos_ < text_.size() && text_[pos_] != separator_ && text::IsBlank(text_[pos_])) ++pos_;
            if (pos_ < text_.size() && text_[pos_] == u'"') {
                ++pos_;
                if (!ReadQuoted(cell)) {
                    record.Add(std::move(cell));
                    record.unclosedQuote = true;
                    return true;
                }
                cell += text::Trim(Until());
            } else {
                pos_ = start;
                cell = text::Trim(Until());
            }
            record.Add(std::move(cell));
            if (pos_ < text_.size() && text_[pos_] == separator_) {
                ++pos_;
                continue;
            }
            SkipLineEnd();
            return true;
        }
    }

private:
    // The rest of a cell: up to the separator or the end of the line.
    std::u16string_view Until() {
        size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != separator_ && !IsLineEnd(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // After an opening quote: the cell up to its closing quote; false when there is none.
    bool ReadQuoted(std::u16string& cell) {
        while (pos_ < text_.size()) {
            char16_t c = text_[pos_];
            if (c == u'"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'"') {
                    cell += u'"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return true;
            }
            if (IsLineEnd(c)) {
                size_t before = pos_;
                SkipLineEnd();
                cell += text_.substr(before, pos_ - before);
                continue;
            }
            cell += c;
            ++pos_;
        }
        return false;
    }
    void SkipLineEnd() {
        if (pos_ >= text_.size()) return;
        if (text_[pos_] == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n') ++pos_;
        ++pos_;
        ++line_;
    }

    std::u16string_view text_;
    char16_t separator_;
    size_t pos_ = 0;
    size_t line_ = 1;
};

// Rows of blank-separated words, one a line.
class BlankReader {
public:
    explicit BlankReader(std::u16string_view text) : text_(text) {}

    bool Next(Record& record) {
        if (pos_ >= text_.size()) return false;
        record.line = line_;
        record.cells.clear();
        record.unclosedQuote = false;
        record.dropped = false;
        size_t end = pos_;
        while (end < text_.size() && !IsLineEnd(text_[end])) ++end;
        for (size_t i = pos_; i < end;) {
            while (i < end && text::IsBlank(text_[i])) ++i;
            size_t word = i;
            while (i < end && !text::IsBlank(text_[i])) ++i;
            if (i > word) record.Add(std::u16string(text_.substr(word, i - word)));
        }
        pos_ = end;
        if (pos_ < text_.size()) {
            if (text_[pos_] == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n') ++pos_;
            ++pos_;
        }
        ++line_;
        return true;
    }

private:
    std::u16string_view text_;
    size_t pos_ = 0;
    size_t line_ = 1;
};

// The separator the first line has most of (tab, then comma, then semicolon on a tie), counted outside
// quotes; 0 when it has none of them.
char16_t FindSeparator(std::u16string_view text) {
    size_t tabs = 0, commas = 0, semicolons = 0;
    bool quoted = false, content = false;
    for (char16_t c : text) {
        if (c == u'"') quoted = !quoted;
        if (quoted) continue;
        if (IsLineEnd(c)) {
            if (content) break;
            continue;  // a blank line before the first
        }
        content = content || !text::IsBlank(c);
        tabs += c == u'\t';
        commas += c == u',';
        semicolons += c == u';';
    }
    if (tabs + commas + semicolons == 0) return 0;
    if (tabs >= commas && tabs >= semicolons) return u'\t';
    return commas >= semicolons ? u',' : u';';
}

bool IsEmpty(const Record& record) {
    for (const std::u16string& cell : record.cells) {
        if (!cell.empty()) return false;
    }
    return !record.unclosedQuote;
}

std::string LineOrigin(size_t line) { return "第 " + std::to_string(line) + " 行"; }

// "date" or "date time" that the program reads as an expiry.
bool IsExpiry(std::u16string_view words) {
    std::string ascii;
    runtime::DateTimeValue ignored;
    return text::Ascii(words, ascii) && runtime::DateTimeFromText(ascii, ignored);
}

std::u16string Join(const std::vector<std::u16string>& words, size_t from, size_t to) {
    std::u16string joined;
    for (size_t i = from; i < to; ++i) {
        if (i > from) joined += u' ';
        joined += words[i];
    }
    return joined;
}

// "address[:port] user password note expiry": the note may hold blanks; the last word, or the last two (a
// date and a time), are the expiry when they read as one.
void FromWords(const std::vector<std::u16string>& words, SourceServer& server) {
    std::u16string* fields[] = {&server.address, &server.user, &server.password};
    for (size_t i = 0; i < 3 && i < words.size(); ++i) *fields[i] = words[i];
    size_t end = words.size();
    if (end >= 5 && words[end - 1].find(u':') != std::u16string::npos &&
        IsExpiry(words[end - 2] + u' ' + words[end - 1])) {
        server.expiry = words[end - 2] + u' ' + words[end - 1];
        end -= 2;
    } else if (end >= 4 && IsExpiry(words[end - 1])) {
        server.expiry = words[end - 1];
        end -= 1;
    }
    if (end > 3) server.note = Join(words, 3, end);
}

class TableBuilder {
public:
    explicit TableBuilder(SourceReading& out) : out_(out) {}

    // Takes the first non-empty row as the header when it names columns. False (with out.failure) when the
    // header has no address column.
    bool TakeHeader(const Record& record) {
        std::vector<std::optional<Field>> fields;
        size_t known = 0;
        bool address = false;
        for (const std::u16string& cell : record.cells) {
            fields.push_back(HeaderField(cell));
            known += fields.back().has_value();
            address = address || fields.back() == kAddress;
        }
        if (!address && known < 2) return true;  // not a header: a server
        if (!address) {
            out_.failure = "表头没有服务器地址的列（服务器IP、地址、IP 或 host）";
            return false;
        }
        std::array<bool, kFieldCount> taken{};
        for (size_t i = 0; i < fields.size(); ++i) {
            std::string column = "第 " + std::to_string(i + 1) + " 列“" + text::Gbk(record.cells[i]) + "”";
            if (!fields[i]) {
                if (!record.cells[i].empty()) out_.notes.push_back(column + "不是服务器的字段，未导入");
                columns_.push_back(std::nullopt);
            } else if (taken[*fields[i]]) {
                out_.notes.push_back(column + "与前面的列重复，未导入");
                columns_.push_back(std::nullopt);
            } else {
                taken[*fields[i]] = true;
                columns_.push_back(fields[i]);
            }
        }
        header_ = true;
        return true;
    }

    bool HasHeader() const { return header_; }

    // A row by the header's columns, or by position (address, port, user, password, note, expiry). With
    // `wordsJoin`, words past the header's last column join that column's value.
    void AddCells(const Record& record, bool wordsJoin) {
        SourceServer& server = Add(record.line);
        std::u16string* values[kFieldCount] = {&server.address,  &server.port, &server.user,
                                               &server.password, &server.note, &server.expiry};
        for (size_t i = 0; i < record.cells.size(); ++i) {
            std::optional<Field> field;
            bool beyond = false;  // past the columns a server has
            if (!header_) {
                if (i < kFieldCount) field = static_cast<Field>(i);
                else beyond = true;
            } else if (i < columns_.size()) {
                field = columns_[i];
            } else if (wordsJoin && columns_.back()) {
                *values[*columns_.back()] += u' ' + record.cells[i];
                continue;
            } else {
                beyond = true;
            }
            if (field) {
                *values[*field] = record.cells[i];
            } else if (beyond && !record.cells[i].empty()) {
                NoteExtra();
            }
        }
        if (record.dropped) NoteExtra();
        if (record.unclosedQuote) server.refusal = "引号没有配对：从这一行到文件末尾都未能读取";
    }

    void AddWords(const Record& record) { FromWords(record.cells, Add(record.line)); }

    bool Full() {
        if (out_.servers.size() < kMaxServers) return false;
        out_.failure = "服务器超过 " + std::to_string(kMaxServers) + " 个，未读取";
        out_.servers.clear();
        return true;
    }

private:
    void NoteExtra() {
        if (extraNoted_) return;
        out_.notes.push_back(header_ ? "表头以外的列未导入" : "第 7 列以后的内容不是服务器的字段，未导入");
        extraNoted_ = true;
    }

    SourceServer& Add(size_t line) {
        SourceServer& server = out_.servers.emplace_back();
        server.origin = LineOrigin(line);
        return server;
    }

    SourceReading& out_;
    bool header_ = false;
    bool extraNoted_ = false;
    std::vector<std::optional<Field>> columns_;
};

// The rows of `text` into `out`. Separated by `separator`, or blank-separated when it is 0 (then the words
// of each line follow FromWords unless a header names them).
template <typename Reader>
void ReadRows(Reader reader, bool blanks, SourceReading& out) {
    TableBuilder table(out);
    Record record;
    bool first = true;
    while (reader.Next(record)) {
        if (IsEmpty(record)) continue;
        if (first) {
            first = false;
            if (!table.TakeHeader(record)) return;
            if (table.HasHeader()) continue;
        }
        if (table.Full()) return;
        if (blanks && !table.HasHeader()) {
            table.AddWords(record);
        } else {
            table.AddCells(record, blanks);
        }
    }
}

void ReadTableText(std::u16string_view text, char16_t separator, SourceReading& out) {
    if (separator) {
        ReadRows(SeparatedReader(text, separator), false, out);
    } else {
        ReadRows(BlankReader(text), true, out);
    }
}

std::string TableDescription(char16_t separator) {
    switch (separator) {
    case u',': return "CSV 表格（逗号分隔）";
    case u'\t': return "文本表格（制表符分隔）";
    case u';': return "文本表格（分号分隔）";
    default: return "文本（空格分隔）";
    }
}

// Whether the first non-empty line of `text`, split by `separator` (or blanks), names columns.
bool StartsWithHeader(std::u16string_view text, char16_t separator) {
    SourceReading probe;
    TableBuilder table(probe);
    Record record;
    auto firstRow = [&](auto reader) {
        while (reader.Next(record)) {
            if (!IsEmpty(record)) return table.TakeHeader(record) && table.HasHeader();
        }
        return false;
    };
    return separator ? firstRow(SeparatedReader(text, separator)) : firstRow(BlankReader(text));
}

}  // namespace

SourceReading ReadTextTable(std::string_view bytes) {
    SourceReading out;
    out.kind = SourceKind::kTextTable;
    if (bytes.size() > kMaxTableBytes) {
        out.failure = "文件太大，超过 " + std::to_string(kMaxTableBytes >> 20) + " MB 的表格不读";
        return out;
    }
    std::u16string content;
    text::Encoding encoding;
    if (!text::DecodeText(bytes, content, encoding, out.failure)) return out;
    out.encoding = text::EncodingName(encoding);
    char16_t separator = FindSeparator(content);
    out.description = TableDescription(separator);
    ReadTableText(content, separator, out);
    return out;
}

SourceReading ReadPastedLines(const std::string& gbk) {
    SourceReading out;
    out.kind = SourceKind::kPastedLines;
    out.encoding = "GBK";
    if (gbk.size() > kMaxTableBytes) {
        out.failure = "粘贴的文字太多，超过 " + std::to_string(kMaxTableBytes >> 20) + " MB";
        return out;
    }
    const std::u16string content = runtime::GbkToUtf16(gbk);
    // Lines as typed are blank-separated whatever they hold; a header row makes them a table (cells copied
    // from a spreadsheet come tab-separated, with empty cells kept).
    char16_t separator = FindSeparator(content);
    if (!StartsWithHeader(content, separator)) separator = 0;
    out.description = separator ? "粘贴的表格" : "粘贴的文字";
    ReadTableText(content, separator, out);
    return out;
}

}  // namespace transfer
