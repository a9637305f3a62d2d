// Writing an import: one change of the database after a backup copy, whole or not at all whenever the power
// goes; the ten newest copies kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "jet/power_cut_file_system.h"
#include "jet/test_files.h"
#include "transfer/import.h"

using namespace transfer;

namespace {

// A path inside the folder of backups ("备份", UTF-8 like every path).
std::string InBackups(const testfiles::TempDir& dir, const std::string& name = "") {
    return dir.file(reinterpret_cast<const char*>(u8"备份")) + (name.empty() ? "" : "/" + name);
}

// The rows of table Server, after the recovery that opening for changes makes.
std::vector<std::string> Rows(const std::string& path) {
    catalogue::ConfigDatabase db;
    std::vector<catalogue::ServerEntry> servers;
    EXPECT_TRUE(db.Open(path) && catalogue::LoadServers(db, servers)) << db.LastError();
    std::vector<std::string> rows;
    for (const auto& s : servers) {
        rows.push_back(s.ip + "|" + s.port + "|" + s.user + "|" + s.password + "|" + s.note + "|" + s.dqsj);
    }
    return rows;
}

TEST(ImportWrite, WholeOrNotAtAllAtEveryPowerCut) {
    testfiles::TempDir dir;
    const std::string path = dir.file("config.MDB");
    ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(path));
    std::vector<catalogue::ServerEntry> existing;
    {
        catalogue::ConfigDatabase db;
        ASSERT_TRUE(db.Open(path));
        for (const char* ip : {"10.0.0.0", "10.0.0.1", "10.0.0.2"}) {
            ASSERT_TRUE(catalogue::AddServer(db, {ip, "3389", "u", "p", "旧", ""}));
        }
        ASSERT_TRUE(catalogue::LoadServers(db, existing));
    }
    const std::vector<uint8_t> base = testfiles::readFile(path);
    const std::vector<std::string> before = Rows(path);
    std::string csv = "ip,user,password,note\n10.0.0.1,admin,new,新\n";
    for (int i = 0; i < 60; ++i) csv += "10.1.0." + std::to_string(i) + ",u,p,第" + std::to_string(i) + "台\n";
    const ImportPlan plan = PlanImport(ReadTextTable(csv), existing, true);
    ASSERT_EQ(plan.added + plan.updated, 61u);

    // Runs the import through `fs`, from the file as it was; whether it reported success.
    auto run = [&](testfiles::PowerCutFileSystem& fs) {
        testfiles::writeFile(path, base);
        std::filesystem::remove_all(InBackups(dir));
        catalogue::ConfigDatabase db;
        EXPECT_TRUE(db.Open(path, fs)) << db.LastError();
        fs.calls = 0;
        return WritePlan(db, path, plan, {2025, 7, 3, 14, 5, 9}).written;
    };
    testfiles::PowerCutFileSystem counting;
    ASSERT_TRUE(run(counting));
    const size_t needed = counting.calls;
    const std::vector<std::string> after = Rows(path);
    ASSERT_EQ(after.size(), 63u);
    EXPECT_EQ(after[1], "10.0.0.1|3389|admin|new|新|");
    EXPECT_EQ(Rows(InBackups(dir, "config-20250703-140509.MDB")), before);

    for (int lose = 0; lose < 4; ++lose) {
        int sawOld = 0, sawNew = 0;
        for (size_t k = 0; k < needed; ++k) {
            testfiles::PowerCutFileSystem fs;
            fs.loseFile = lose & 1, fs.loseJournal = lose & 2, fs.limit = k;
            const bool reported = run(fs);
            const std::vector<std::string> now = Rows(path);  // after the recovery an opening makes
            if (reported) {
                EXPECT_EQ(now, after) << "reported written, then undone; cut after " << k << " calls";
            }
            sawOld += now == before;
            sawNew += now == after;
            EXPECT_TRUE(now == before || now == after) << "a part of the import, cut after " << k << " calls";
        }
        EXPECT_GT(sawOld, 0);
        EXPECT_GT(sawNew, 0);
    }
}

TEST(ImportWrite, TheTenNewestBackupsStay) {
    testfiles::TempDir dir;
    const std::string path = dir.file("config.MDB");
    ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(path));
    std::filesystem::create_directories(InBackups(dir));
    for (const char* other : {"notes.txt", "config-old.MDB"}) testfiles::writeFile(InBackups(dir, other), {1});
    catalogue::ConfigDatabase db;
    ASSERT_TRUE(db.Open(path));
    std::string error;
    for (int minute = 0; minute < 12; ++minute) {
        ASSERT_TRUE(BackUpDatabase(db, path, {2025, 1, 1, 9, minute, 0}, error)) << error;
    }
    EXPECT_EQ(BackUpDatabase(db, path, {2025, 1, 1, 9, 11, 0}, error), InBackups(dir, "config-20250101-091100-2.MDB"));
    std::set<std::string> names, expected = {"config-old.MDB", "notes.txt", "config-20250101-091100-2.MDB"};
    for (const auto& entry : std::filesystem::directory_iterator(InBackups(dir))) {
        names.insert(entry.path().filename().string());
    }
    for (const char* minute : {"03", "04", "05", "06", "07", "08", "09", "10", "11"}) {
        expected.insert("config-20250101-09" + std::string(minute) + "00.MDB");
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(testfiles::readFile(InBackups(dir, "config-20250101-091100-2.MDB")), testfiles::readFile(path));
}

}  // namespace
