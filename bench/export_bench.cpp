// `quillon-db export FILE Server` beside `mdb-export FILE Server` on configuration databases of 1,000, 10,000
// and 100,000 servers: median wall time of paired runs (the two commands one after the other, in turns
// first), and the peak memory (the highest of five runs) and page faults (the median) of each, so that how the
// cost grows with the table can be read off. Before timing, both exports of each file are compared byte for byte with the CSV the
// rows must give; a difference fails the benchmark (exit 1). The aims (at most half of mdb-export's time on
// 10,000 rows, never more memory than it, the same memory for 10,000 and 100,000 rows within 1 MB) are
// printed as met or not; they do not change the exit code. Needs /usr/bin/time (package time).
//
//   export_bench QUILLON_DB [FOLDER] [PAIRS]     (bench/export_vs_mdb.sh runs it)
//     FOLDER  where the files go (default: a new folder under the system's temporary folder, removed after)
//     PAIRS   paired runs per file (default 20)
//   export_bench --write FILE ROWS               only write a database of ROWS servers (bench/instructions.sh)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/config_template.h"
#include "jet/create.h"
#include "jet/database.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string address(size_t i) {
    return "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
}

// Row i of the benchmark's Server table, as the program writes a server.
std::vector<std::string> serverFields(size_t i) {
    return {address(i), "3389", "administrator", "p@ss" + std::to_string(i), "server " + std::to_string(i),
            "2027/1/1 12:00:00"};
}
const char* const kFields[] = {"ip", "port", "user", "password", "note", "dqsj"};

// The configuration template with `rows` servers, written to `path`.
void writeDatabase(const std::string& path, size_t rows) {
    auto db = jet::Database::openBytes(jet::createDatabase(catalogue::ConfigTemplateTables()));
    const jet::TableDef& table = db->table(u"Server");
    for (size_t done = 0; done < rows;) {  // statements of at most 10,000 rows
        size_t end = std::min(rows, done + 10000);
        db->statement([&] {
            for (; done < end; ++done) {
                jet::Row values(table.columns.size());
                std::vector<std::string> fields = serverFields(done);
                for (size_t f = 0; f < fields.size(); ++f)
                    values[size_t(table.findColumn(jet::fromUtf8(kFields[f])))] = jet::fromUtf8(fields[f]);
                db->insertRow(table, values);
            }
        });
    }
    std::vector<uint8_t> bytes = db->pages().bytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error("could not write " + path);
}

// What both exports must print for the file writeDatabase made.
std::string expectedCsv(size_t rows) {
    std::string csv = "id,ip,port,user,password,note,dqsj\n";
    for (size_t i = 0; i < rows; ++i) {
        csv += std::to_string(i + 1);
        for (const std::string& field : serverFields(i)) csv += ",\"" + field + "\"";
        csv += '\n';
    }
    return csv;
}

struct Run {
    double ms = 0;
    long peakKb = 0;
    long faults = 0;
    int status = -1;
};

// Runs a program with its output going to `output` (a file, or /dev/null), measuring its wall time here. With
// `usage`, /usr/bin/time starts it and writes its peak memory and page faults there. (A process started from
// this one would begin with this process's memory as its peak: Linux counts the memory a process had before
// it started another program. /usr/bin/time is small.) Without, it is started directly, and the wall time is
// the program's own.
Run run(const std::vector<std::string>& command, const std::string& output, const std::string& usage = {}) {
    std::vector<std::string> line;
    if (!usage.empty()) line = {"/usr/bin/time", "-f", "%M %R %F", "-o", usage};
    line.insert(line.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (const std::string& a : line) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run r;
    auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    int status = 0;
    bool started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started || waitpid(child, &status, 0) != child) return r;
    r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (usage.empty()) return r;
    long minor = 0, major = 0;
    FILE* figures = std::fopen(usage.c_str(), "r");
    if (!figures || std::fscanf(figures, "%ld %ld %ld", &r.peakKb, &minor, &major) != 3) r.status = -1;
    if (figures) std::fclose(figures);
    r.faults = minor + major;
    return r;
}

template <class T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Figures {
    double ms;
    long peakKb, faults;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write") {
        writeDatabase(argv[2], std::stoul(argv[3]));
        return 0;
    }
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: export_bench QUILLON_DB [FOLDER] [PAIRS]\n       export_bench --write FILE ROWS\n");
        return 2;
    }
    const std::string tool = argv[1];
    const bool ownFolder = argc < 3;
    const fs::path folder = ownFolder ? fs::temp_directory_path() / ("quillon-export-bench-" + std::to_string(getpid()))
                                      : fs::path(argv[2]);
    const int pairs = argc > 3 ? std::stoi(argv[3]) : 20;
    fs::create_directories(folder);

    bool right = true;
    std::vector<std::pair<size_t, std::pair<Figures, Figures>>> results;
    for (size_t rows : {size_t(1000), size_t(10000), size_t(100000)}) {
        const std::string file = (folder / ("servers-" + std::to_string(rows) + ".mdb")).string();
        writeDatabase(file, rows);
        const std::vector<std::vector<std::string>> commands = {{tool, "export", file, "Server"},
                                                                {"mdb-export", file, "Server"}};
        const std::string expected = expectedCsv(rows), printed = (folder / "printed.csv").string();
        const std::string usage = (folder / "usage.txt").string();
        for (const auto& command : commands) {
            Run r = run(command, printed, usage);
            if (r.status != 0 || readAll(printed) != expected) {
                std::fprintf(stderr, "%s on %zu rows: exit %d, the CSV is %s\n", command[0].c_str(), rows, r.status,
                             readAll(printed) == expected ? "right" : "not the rows the file holds");
                right = false;
            }
        }
        // Timed pairs, each command first in every other pair; then runs through /usr/bin/time for memory.
        std::vector<Run> timed[2], measured[2];
        for (int i = 0; i < pairs; ++i)
            for (int k = 0; k < 2; ++k) timed[(k + i) % 2].push_back(run(commands[size_t((k + i) % 2)], "/dev/null"));
        for (int i = 0; i < 5; ++i)
            for (int k = 0; k < 2; ++k) measured[k].push_back(run(commands[size_t(k)], "/dev/null", usage));
        auto figures = [](const std::vector<Run>& times, const std::vector<Run>& memory) {
            std::vector<double> ms;
            std::vector<long> peak, faults;
            for (const Run& r : times) ms.push_back(r.ms);
            for (const Run& r : memory) {
                peak.push_back(r.peakKb);
                faults.push_back(r.faults);
            }
            return Figures{median(ms), *std::max_element(peak.begin(), peak.end()), median(faults)};
        };
        results.push_back({rows, {figures(timed[0], measured[0]), figures(timed[1], measured[1])}});
    }
    if (ownFolder) fs::remove_all(folder);

    std::printf("export of table Server: median wall time of %d paired runs per file; peak memory and page faults of\n"
                "five runs each under /usr/bin/time\n",
                pairs);
    std::printf("%8s  %-12s %10s %12s %12s\n", "rows", "program", "wall ms", "peak KB", "page faults");
    for (const auto& [rows, pair] : results) {
        std::printf("%8zu  %-12s %10.2f %12ld %12ld\n", rows, "quillon-db", pair.first.ms, pair.first.peakKb,
                    pair.first.faults);
        std::printf("%8s  %-12s %10.2f %12ld %12ld   time ratio %.2f\n", "", "mdb-export", pair.second.ms,
                    pair.second.peakKb, pair.second.faults, pair.first.ms / pair.second.ms);
    }
    const Figures& ours10k = results[1].second.first;
    const Figures& theirs10k = results[1].second.second;
    const Figures& ours100k = results[2].second.first;
    auto verdict = [](bool met) { return met ? "met" : "NOT met"; };
    std::printf("aims: 10,000 rows in at most half of mdb-export's time: %s (%.2f)\n",
                verdict(ours10k.ms <= theirs10k.ms / 2), ours10k.ms / theirs10k.ms);
    bool memory = true;
    for (const auto& [rows, pair] : results) memory = memory && pair.first.peakKb <= pair.second.peakKb;
    std::printf("      peak memory at most mdb-export's on every file: %s\n", verdict(memory));
    std::printf("      peak memory of 100,000 rows within 1 MB of 10,000 rows': %s (%+ld KB)\n",
                verdict(ours100k.peakKb - ours10k.peakKb <= 1024), ours100k.peakKb - ours10k.peakKb);
    std::printf("rows: %s\n", right ? "both exports printed every row right" : "WRONG (see above)");
    return right ? 0 : 1;
}
