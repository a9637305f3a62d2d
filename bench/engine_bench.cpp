// Figures for the storage engine on a 10,000-server catalogue, one statement at a time, as the program
// sends them, the same inserts into a table with a primary key and a Text index, and reads of a table whose
// notes lie on long-value pages. Prints a table of timings; it asserts nothing and is not a test.
//
//   engine_bench [FOLDER] [--file-only]
//     FOLDER       where the database files go (default: a new temporary folder); use a folder on a real
//                  disk for the on-disk figures
//     --file-only  stop after the inserts, leaving FOLDER/servers.mdb with 10,000 Server rows (for
//                  export_vs_mdb.sh)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/config_template.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/sql.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kServers = 10000;

struct Timings {
    std::vector<double> ms;
    void add(Clock::time_point start) {
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        double total = 0;
        for (double v : ms) total += v;
        auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
        std::printf("%-44s %7zu  %10.3f %9.4f %9.4f %9.4f %9.4f\n", what, ms.size(), total, total / double(ms.size()),
                    at(0.5), at(0.99), ms.back());
    }
};

std::u16string u(const std::string& s) { return jet::fromUtf8(s); }

std::string insertText(const std::string& table, int i) {
    return "INSERT INTO " + table + " (ip,port,user,password,note,dqsj) VALUES ('10." + std::to_string(i / 65536 % 256) +
           "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + "','3389','administrator','p@ss" +
           std::to_string(i) + "','server " + std::to_string(i) + "','2027/1/1 12:00:00')";
}

std::string address(int i) {
    return "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
}

jet::sql::Result run(jet::Database& db, const std::string& text) {
    return jet::sql::execute(db, jet::sql::parse(u(text)));
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The Server table with its AutoNumber id as primary key and an index on ip.
jet::NewTable indexedServerTable() {
    auto text = [](const char16_t* name, uint16_t size) {
        jet::NewColumn c;
        c.name = name;
        c.type = jet::ColumnType::Text;
        c.textLength = size;
        return c;
    };
    jet::NewTable t;
    t.name = u"IndexedServer";
    jet::NewColumn id;
    id.name = u"id";
    id.type = jet::ColumnType::Long;
    id.autoNumber = true;
    t.columns = {id, text(u"ip", 20), text(u"port", 10), text(u"user", 20), text(u"password", 20),
                 text(u"note", 255), text(u"dqsj", 20)};
    t.indexes = {{u"PrimaryKey", u"id", true, true}, {u"ip", u"ip", false, false}};
    return t;
}

// Servers with long notes: 2,000 rows, each note on a long-value page of its own, every tenth one a chain of
// several pages.
jet::NewTable notesTable() {
    jet::NewTable t;
    t.name = u"Notes";
    t.columns = {{u"id", jet::ColumnType::Long, 0, true}, {u"ip", jet::ColumnType::Text, 20},
                 {u"note", jet::ColumnType::Memo}};
    return t;
}

std::u16string longNote(int i) {
    std::u16string text = u("notes of server " + std::to_string(i) + ": ");
    text.resize(i % 10 == 0 ? 12000 : 1500, u'n');
    return text;
}

// Opening and reading, checking and searching a file whose rows hold long values.
void longValueFigures() {
    constexpr int kRows = 2000;
    std::vector<uint8_t> bytes;
    {
        auto db = jet::Database::openBytes(jet::createDatabase({notesTable()}));
        const jet::TableDef& table = db->table(u"Notes");
        db->statement([&] {
            for (int i = 0; i < kRows; ++i) db->insertRow(table, {std::monostate{}, u(address(i)), longNote(i)});
        });
        bytes = db->pages().bytes();
    }
    Timings read, check, select;
    size_t rows = 0, problems = 0, found = 0;
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        auto db = jet::Database::openBytes(bytes);
        rows = db->readRows(db->table(u"Notes")).size();
        read.add(start);
    }
    auto db = jet::Database::openBytes(bytes);
    for (int i = 0; i < 5; ++i) {
        auto start = Clock::now();
        problems = db->check().size();
        check.add(start);
    }
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        found = run(*db, "select * from Notes where note='" + jet::toUtf8(longNote(i * 37)) + "'").rows.size();
        select.add(start);
    }
    read.print("open, read 2,000 rows with long notes");
    check.print("check the file with long notes");
    select.print("SELECT on a long note (every note read)");
    std::printf("long-note file: %zu bytes, %zu rows, %zu problems, %zu found\n", bytes.size(), rows, problems, found);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillon-bench";
    bool fileOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--file-only") fileOnly = true;
        else folder = arg;
    }
    std::filesystem::create_directories(folder);
    const auto path = folder / "servers.mdb";
    const auto templateBytes = jet::createDatabase(catalogue::ConfigTemplateTables());
    writeFile(path, templateBytes);

    std::printf("%-44s %7s  %10s %9s %9s %9s %9s\n", "operation (milliseconds)", "count", "total", "mean", "p50",
                "p99", "max");

    if (!fileOnly) {
        Timings t;
        for (int i = 0; i < 1000; ++i) {
            auto start = Clock::now();
            auto db = jet::Database::openBytes(templateBytes);
            size_t rows = db->readRows(db->table(u"Server")).size() + db->readRows(db->table(u"config")).size();
            t.add(start);
            if (rows != 1) { std::fprintf(stderr, "template holds %zu rows\n", rows); return 1; }
        }
        t.print("template: open, read Server and config");
    }

    auto db = jet::Database::open(path.string());
    {
        Timings t;
        for (int i = 0; i < kServers; ++i) {
            std::string text = insertText("Server", i);
            auto start = Clock::now();
            run(*db, text);
            t.add(start);
        }
        t.print("insert one Server row (statement, on disk)");
    }
    db.reset();
    if (fileOnly) return 0;
    {
        Timings t;
        size_t rows = 0;
        for (int i = 0; i < 20; ++i) {
            auto start = Clock::now();
            auto fresh = jet::Database::open(path.string());
            rows = fresh->readRows(fresh->table(u"Server")).size();
            t.add(start);
        }
        t.print("open file, read all 10,000 rows");
        if (rows != size_t(kServers)) { std::fprintf(stderr, "read %zu rows\n", rows); return 1; }
    }
    db = jet::Database::open(path.string());
    {
        Timings t;
        for (int i = 0; i < 1000; ++i) {
            int k = (i * 7919) % kServers;
            auto start = Clock::now();
            auto result = run(*db, "select * from Server where ip= '" + address(k) + "' and port='3389'");
            t.add(start);
            if (result.rows.size() != 1) { std::fprintf(stderr, "lookup found %zu rows\n", result.rows.size()); return 1; }
        }
        t.print("filtered SELECT on ip and port");
    }
    {
        Timings t;
        for (int i = 0; i < 1000; ++i) {
            int k = (i * 7919) % kServers;
            auto start = Clock::now();
            run(*db, "UPDATE Server SET note='renamed server " + std::to_string(k) + "' WHERE ip='" + address(k) +
                         "' AND port='3389'");
            t.add(start);
        }
        t.print("update one row by ip and port");
    }
    {
        Timings t;
        for (int i = 0; i < kServers; ++i) {
            auto start = Clock::now();
            run(*db, "delete from Server where ip='" + address(i) + "' and port= '3389'");
            t.add(start);
        }
        t.print("delete one row by ip and port");
    }
    auto problems = db->check();
    std::printf("file after the run: %ju bytes, %zu problems\n", std::uintmax_t(std::filesystem::file_size(path)),
                problems.size());
    db.reset();

    // The same inserts into a table with a primary key on its AutoNumber id and an index on ip.
    const auto indexedPath = folder / "servers-indexed.mdb";
    writeFile(indexedPath, jet::createDatabase({indexedServerTable()}));
    auto indexed = jet::Database::open(indexedPath.string());
    {
        Timings t;
        for (int i = 0; i < kServers; ++i) {
            std::string text = insertText("IndexedServer", i);
            auto start = Clock::now();
            run(*indexed, text);
            t.add(start);
        }
        t.print("insert one row, primary key + Text index");
    }
    auto indexedProblems = indexed->check();
    std::printf("indexed file: %ju bytes, %zu rows, %zu problems\n",
                std::uintmax_t(std::filesystem::file_size(indexedPath)),
                indexed->readRows(indexed->table(u"IndexedServer")).size(), indexedProblems.size());
    for (const std::string& problem : indexedProblems) std::printf("  %s\n", problem.c_str());
    longValueFigures();
    return problems.empty() && indexedProblems.empty() ? 0 : 1;
}
