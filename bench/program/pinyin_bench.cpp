// Filtering 10,000 server notes by a typed text, as each keystroke does: the notes' pinyin keys made once
// (MakePinyinKey, as when the servers are loaded), then each query matched against every key (MatchesPinyin).
// Beside them, as yardsticks in the same run: decoding the notes from GBK alone, and a plain byte search of
// the query's Chinese text in every note. Prints the median and the slowest of RUNS runs in milliseconds, and
// fails when a query does not find the notes it should.
//
//   pinyin_bench [RUNS]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/pinyin.h"
#include "runtime/text_codec.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

template <typename Work>
void Report(const char* what, int runs, Work work) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        work();
        ms.push_back(NowMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-62s median %7.3f   slowest %7.3f\n", what, ms[ms.size() / 2], ms.back());
}

const char* const kCities[10] = {"北京", "上海", "广州", "深圳", "杭州", "成都", "重庆", "长沙", "厦门", "南京"};
const char* const kCarriers[3] = {"电信", "联通", "移动"};
const char* const kKinds[4] = {"", "Web", "DB", "备份"};

// Note i: a kind, a city (i % 10), a carrier ((i / 10) % 3) and the number i, such as "DB北京-电信120".
std::string Note(int i) {
    return std::string(kKinds[i / 30 % 4]) + kCities[i % 10] + "-" + kCarriers[i / 10 % 3] + std::to_string(i);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const int count = 10000;
    std::vector<std::string> notes;
    for (int i = 0; i < count; ++i) notes.push_back(Note(i));
    // What each query must find, worked out from how the notes are made: a city is every tenth note, a
    // carrier ten notes in every thirty.
    const int perCity = count / 10, perCarrier = (count / 10 + 2) / 3 * 10;
    const struct {
        const char* query;
        int expected;
    } queries[] = {
        {"bj", perCity},       // 北京
        {"cq", perCity},       // 重庆, 重 read chóng
        {"xm", perCity},       // 厦门, 厦 read xià
        {"dx", perCarrier},    // 电信
        {"jb", 0},             // the letters of 北京 in the wrong order
        {"zzz", 0},            // z begins 州, 圳, 重, 长, never three characters in a row
    };

    std::printf("filtering %d notes, %d runs (ms):\n", count, runs);
    std::vector<runtime::PinyinKey> keys;
    Report("GBK decoding of every note (yardstick)", runs, [&] {
        for (const std::string& note : notes) runtime::GbkToUtf16(note);
    });
    Report("MakePinyinKey of every note", runs, [&] {
        keys.clear();
        for (const std::string& note : notes) keys.push_back(runtime::MakePinyinKey(note));
    });

    int wrong = 0;
    auto check = [&](const char* what, int found, int expected) {
        if (found == expected) return;
        std::fprintf(stderr, "%s: %d notes found, %d expected\n", what, found, expected);
        ++wrong;
    };
    int found = 0;
    Report("byte search of the query's GBK text in every note (yardstick)", runs, [&] {
        found = static_cast<int>(std::count_if(notes.begin(), notes.end(), [](const std::string& note) {
            return note.find("北京") != std::string::npos;
        }));
    });
    check("北京", found, perCity);
    for (const auto& [text, expected] : queries) {
        const std::string what = std::string("MatchesPinyin \"") + text + "\"";
        Report(what.c_str(), runs, [&] {
            const runtime::PinyinQuery query = runtime::MakePinyinQuery(text);
            found = static_cast<int>(std::count_if(keys.begin(), keys.end(), [&](const runtime::PinyinKey& key) {
                return runtime::MatchesPinyin(key, query);
            }));
        });
        check(text, found, expected);
    }

    // The slowest matches there can be: notes of 255 characters (the column's limit) that hold every letter of a
    // query of 250 characters that nearly matches everywhere; and a pasted text of 100,000 characters.
    std::vector<runtime::PinyinKey> longKeys(count, runtime::MakePinyinKey("j" + std::string(254, 'a')));
    const std::pair<std::string, const char*> worst[] = {
        {std::string(249, 'a') + "j", "MatchesPinyin of 250 characters, notes of 255"},
        {std::string(100000, 'a'), "MatchesPinyin of 100,000 characters, notes of 255"},
    };
    for (const auto& [text, what] : worst) {
        Report(what, runs, [&] {
            const runtime::PinyinQuery query = runtime::MakePinyinQuery(text);
            found = static_cast<int>(std::count_if(longKeys.begin(), longKeys.end(), [&](const runtime::PinyinKey& key) {
                return runtime::MatchesPinyin(key, query);
            }));
        });
        check(what, found, 0);
    }
    return wrong == 0 ? 0 : 1;
}
