// Writes the databases the quillon-db tool test reads (tests/tools/quillon_db_test.sh):
//   OUTDIR/types.mdb  table "Types": one column of every type, with ordinary, extreme and null values;
//   OUTDIR/texts.mdb  table "Texts": Text and Memo values with quotes, commas, line breaks, Chinese text.
//
//   make_tool_samples OUTDIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/error.h"

namespace {

using jet::ColumnType;
using jet::Value;

void write(const std::string& path, const std::vector<jet::NewTable>& tables) {
    std::vector<uint8_t> bytes = jet::createDatabase(tables);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw jet::Error("cannot write " + path);
}

jet::NewTable typesTable() {
    jet::NewTable t;
    t.name = u"Types";
    t.columns = {{u"id", ColumnType::Long, 0, true}, {u"flag", ColumnType::Boolean}, {u"small", ColumnType::Byte},
                 {u"medium", ColumnType::Integer},     {u"large", ColumnType::Long},    {u"money", ColumnType::Currency},
                 {u"single", ColumnType::Single},      {u"double", ColumnType::Double}, {u"when", ColumnType::DateTime},
                 {u"raw", ColumnType::Binary},         {u"label", ColumnType::Text, 40}, {u"blob", ColumnType::OLE},
                 {u"long text", ColumnType::Memo},     {u"guid", ColumnType::GUID}};
    jet::Guid guid;
    for (int i = 0; i < 16; ++i) guid.bytes[i] = static_cast<uint8_t>(0x10 * i + 1);
    auto row = [&](bool flag, int64_t small, int64_t medium, int64_t large, int64_t money, float single, double dbl,
                   double when, jet::Bytes raw, std::u16string label, jet::Bytes blob, std::u16string memo) {
        t.rows.push_back({Value{}, flag, small, medium, large, jet::Currency{money}, double(single), dbl,
                          jet::DateTime{when}, raw, label, blob, memo, guid});
    };
    row(true, 255, 32767, 2147483647, 123456789, 0.1f, 3.141592653589793, 46357.5, {0x41, 0x22, 0x42}, u"plain",
        {1, 2, 3}, u"memo");
    row(false, 0, -32768, -2147483647 - 1, -5, -1.5f, 1.0 / 3, 0.25, {}, u"", {}, u"");
    row(true, 7, 0, 0, std::numeric_limits<int64_t>::min(), 123456789.0f, 1e20, 36526.0, {0xFF, 0x00, 0x41}, u"a",
        {0x00, 0x22}, u"b");
    // Rounded seconds: half a second before midnight, and dates on either side of the range mdb-export prints.
    row(false, 1, 1, 1, std::numeric_limits<int64_t>::max(), 16777216.0f, 1e-5, 1.9999943, {0x0A}, u"x", {0x0A},
        u"y");
    row(false, 2, 2, 2, 10000, 0.0f, -0.0, -1.5, {0x2C}, u"z", {}, u"z");
    row(false, 3, 3, 3, 0, 1e-45f, 5e-324, 1000000.5, {}, u"z", {}, u"z");
    row(false, 4, 4, 4, 1, 3.4e38f, 1e300, 100000.999994, {}, u"z", {}, u"z");
    // A row of nulls (a Boolean has no null: it prints 0).
    t.rows.push_back({Value{}, false, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
                      Value{}, Value{}, Value{}, Value{}});
    return t;
}

jet::NewTable textsTable() {
    jet::NewTable t;
    t.name = u"Texts";
    t.columns = {{u"id", ColumnType::Long, 0, true},
                 {u"name", ColumnType::Text, 255},
                 {u"notes", ColumnType::Memo},
                 {u"备注", ColumnType::Text, 20}};
    const std::vector<std::u16string> texts = {
        u"plain",
        u"say \"hello\"",
        u"\"",
        u"\"\"",
        u"a, b, c",
        u"line one\nline two",
        u"windows\r\nline",
        u"tab\there",
        u"\u6211\u7684\u670D\u52A1\u5668",                  // 我的服务器
        u"\u4E2D\u6587, \"\u5F15\u53F7\"\n\u6362\u884C",    // 中文, "引号"\n换行
        u"caf\u00E9 \u00FC\u00DF \u0416\u0438\u0437\u043D\u044C",
        u"emoji \U0001F600 end",
        u"  blanks around  ",
        u"ends with a comma,",
        u"'single' quotes",
        std::u16string(255, u'x'),
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        std::u16string memo = texts[i] + u" | " + texts[(i + 3) % texts.size()];
        std::u16string shortText = texts[i].substr(0, 20);
        t.rows.push_back({Value{}, texts[i], memo, shortText});
    }
    t.rows.push_back({Value{}, std::u16string(), std::u16string(), Value{}});
    t.rows.push_back({Value{}, Value{}, Value{}, Value{}});
    // A long memo (over a thousand characters) with every kind of awkward character.
    std::u16string longMemo;
    for (int i = 0; i < 150; ++i) longMemo += u"\u884C " + std::u16string(1, char16_t(u'a' + i % 26)) + u", \"q\"\n";
    t.rows.push_back({Value{}, u"long", longMemo, u"\u957F"});
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_tool_samples OUTDIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    try {
        write(dir + "/types.mdb", {typesTable()});
        write(dir + "/texts.mdb", {textsTable()});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_tool_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
