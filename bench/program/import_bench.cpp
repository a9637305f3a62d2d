// Importing 10,000 servers from a CSV file into config.MDB as one change (read, plan, backup copy, write),
// beside the same rows added one statement at a time as the server editor adds one (catalogue::AddServer), in
// the same run. Both databases must then hold the same 10,000 servers, or the benchmark fails.
//
//   import_bench [ROWS]        (10000 when not given)
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/server_records.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

bool Load(const std::string& path, std::vector<catalogue::ServerEntry>& servers) {
    catalogue::ConfigDatabase db;
    return db.OpenForReading(path) && catalogue::LoadServers(db, servers);
}

bool Same(const std::vector<catalogue::ServerEntry>& a, const std::vector<catalogue::ServerEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].ip != b[i].ip || a[i].port != b[i].port || a[i].user != b[i].user || a[i].password != b[i].password ||
            a[i].note != b[i].note || a[i].dqsj != b[i].dqsj) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    std::vector<catalogue::ServerEntry> servers;
    for (int i = 0; i < rows; ++i) {
        servers.push_back({"10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                               std::to_string(i % 256),
                           std::to_string(3389 + i % 7), "administrator", "p@ss-" + std::to_string(i),
                           "机房 " + std::to_string(i / 40) + " 的服务器 " + std::to_string(i),
                           i % 3 ? "" : "2027/" + std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) +
                                            " 23:59:59"});
    }
    std::random_device random;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quillon-import-bench-" + std::to_string(random()));
    std::filesystem::create_directories(dir);
    const std::string csv = (dir / "servers.csv").string(), grouped = (dir / "config.MDB").string(),
                      single = (dir / "single.MDB").string();
    std::string error;
    if (!transfer::ExportServers(csv, servers, true, error) || !catalogue::EnsureConfigDatabaseFile(grouped) ||
        !catalogue::EnsureConfigDatabaseFile(single)) {
        std::fprintf(stderr, "import_bench: cannot prepare the files in %s\n", dir.string().c_str());
        return 1;
    }

    std::printf("importing %d servers (ms):\n", rows);
    double start = NowMs();
    catalogue::ConfigDatabase db;
    std::vector<catalogue::ServerEntry> existing;
    bool ok = db.Open(grouped) && catalogue::LoadServers(db, existing);
    transfer::SourceReading source = transfer::ReadSource(csv, {});
    double read = NowMs();
    transfer::ImportPlan plan = transfer::PlanImport(source, existing, false);
    double planned = NowMs();
    transfer::WriteResult written = transfer::WritePlan(db, grouped, plan, transfer::LocalNow());
    db.CloseConnection();
    double done = NowMs();
    ok = ok && written.written && plan.added == static_cast<size_t>(rows);
    std::printf("  one change: %9.1f   (open and read %.1f, plan %.1f, backup and write %.1f)\n", done - start,
                read - start, planned - read, done - planned);

    start = NowMs();
    catalogue::ConfigDatabase each;
    ok = ok && each.Open(single);
    for (const catalogue::ServerEntry& server : servers) {
        if (!ok) break;
        ok = catalogue::AddServer(each, server);
    }
    each.CloseConnection();
    done = NowMs();
    std::printf("  one statement a row (as the editor adds a server): %9.1f\n", done - start);

    std::vector<catalogue::ServerEntry> first, second;
    ok = ok && Load(grouped, first) && Load(single, second) && Same(first, servers) && Same(second, servers);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (!ok) {
        std::fprintf(stderr, "import_bench: the databases do not hold the servers imported (%s)\n",
                     written.error.empty() ? db.LastError().c_str() : written.error.c_str());
        return 1;
    }
    return 0;
}
