// quillon.exe where a person's files are not tidy: a folder named in Chinese with a blank and a ';', the
// database tool run on the file while the program has it open, and a journal beside config.MDB that a crash
// left for another file.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/config_database.h"
#include "jet/database.h"
#include "jet/error.h"
#include "runtime/text_codec.h"
#include "wine/driver/driver.h"
#include "wine/driver/quillon.h"

namespace wine_driver {
namespace {


// Runs build/win64/quillon-db.exe with `arguments` and gives its exit code (nothing when it did not end).
std::optional<DWORD> RunTool(const std::wstring& arguments) {
    std::wstring tool = ToolPath(L"quillon-db.exe");
    EXPECT_FALSE(tool.empty()) << "quillon-db.exe is not beside the test";
    Process process = Process::Start(tool, arguments);
    EXPECT_TRUE(process.Started()) << process.Error();
    if (!process.WaitForExit(kReactTimeout)) return std::nullopt;
    return process.ExitCode();
}

size_t StoredServers(const std::wstring& database) {
    catalogue::ConfigDatabase reader;
    EXPECT_TRUE(reader.OpenForReading(Utf8(database))) << reader.LastError();
    EXPECT_TRUE(reader.OpenTable("Server")) << reader.LastError();
    return static_cast<size_t>(reader.RecordCount());
}

HWND StartAndWaitUntilLoaded(Process& program, const std::wstring& exe) {
    program = StartQuillon(exe);
    EXPECT_TRUE(program.Started()) << program.Error();
    HWND main = WaitForMainWindow(program);
    EXPECT_NE(main, nullptr);
    return main;
}

bool Loaded(HWND main) {
    return WaitUntil([&] { return GetPropW(main, L"QuillonLoaded") != nullptr; }, kReactTimeout);
}

// The program comes up from a folder whose name the ANSI code page cannot carry as plain ASCII, writes its
// database there, and keeps it to itself: the tool (given the same path on its command line) may read it but
// not change it until the program has ended.
TEST(HardeningTest, AnyFolderAndOneWriterAtATime) {
    const std::wstring folder = FreshFolder(L"\u5F20\u4E09\u7684 \u5DE5\u5177;x");  // 张三的 工具;x
    ASSERT_FALSE(folder.empty());
    const std::wstring exe = CopyProgram(folder);
    ASSERT_FALSE(exe.empty());
    const std::wstring database = JoinPath(folder, L"config.MDB");

    Process program;
    HWND main = StartAndWaitUntilLoaded(program, exe);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(FindMessageBox(program.Id())) << "the program said something at start";
    ASSERT_TRUE(Loaded(main));
    EXPECT_EQ(ReadFileBytes(database), catalogue::ConfigDatabaseTemplate());

    const std::wstring quoted = L"\"" + database + L"\"";
    const std::wstring insert = L" \"insert into Server (ip, port) values ('10.1.1.1', '3389')\"";
    EXPECT_EQ(RunTool(L"sql " + quoted + insert), 1u) << "a second writer was let in";
    EXPECT_EQ(RunTool(L"export " + quoted + L" Server"), 0u) << "reading while the program runs failed";
    EXPECT_EQ(ReadFileBytes(database), catalogue::ConfigDatabaseTemplate());

    ASSERT_TRUE(CloseQuillon(program, main));
    ASSERT_TRUE(program.WaitForExit(kReactTimeout));
    EXPECT_EQ(RunTool(L"sql " + quoted + insert), 0u);
    EXPECT_EQ(StoredServers(database), 1u);
}

// A file system that loses power as the database file is first written: the statement's journal is on the
// disk, the file untouched.
class PowerCutBeforeTheFile : public jet::FileSystem {
public:
    explicit PowerCutBeforeTheFile(std::string database) : database_(std::move(database)) {}
    bool exists(const std::string& path) override { return real().exists(path); }
    std::vector<uint8_t> readAll(const std::string& path) override { return real().readAll(path); }
    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        cut(path);
        real().write(path, offset, data, size);
    }
    void truncate(const std::string& path, uint64_t size) override {
        cut(path);
        real().truncate(path, size);
    }
    void flush(const std::string& path) override {
        cut(path);
        real().flush(path);
    }
    void remove(const std::string& path) override { real().remove(path); }
    void rename(const std::string& from, const std::string& to) override { real().rename(from, to); }

private:
    static jet::FileSystem& real() { return jet::realFileSystem(); }
    void cut(const std::string& path) const {
        if (path == database_) throw jet::Error("power cut");
    }
    std::string database_;
};

// config.MDB replaced by another file after a crash left its journal: the program leaves the file as it is,
// keeps the journal under another name and says so in a box over its main window.
TEST(HardeningTest, AJournalLeftForAnotherFileIsSetAsideWithAWarning) {
    const std::wstring exe = PrepareProgramFolder(L"foreign-journal");
    ASSERT_FALSE(exe.empty());
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    const std::wstring database = JoinPath(folder, L"config.MDB");
    ASSERT_TRUE(WriteFileBytes(database, catalogue::ConfigDatabaseTemplate()));
    {
        PowerCutBeforeTheFile cut(Utf8(database));
        auto db = jet::Database::open(Utf8(database), cut);
        EXPECT_THROW(db->statement([&] { db->insertRow(db->table(u"Server"), jet::Row(7)); }), jet::Error);
    }
    ASSERT_TRUE(FileExists(database + L"-journal"));
    // Another database in its place: one with a server of its own.
    const std::wstring other = JoinPath(folder, L"other.MDB");
    ASSERT_TRUE(WriteFileBytes(other, catalogue::ConfigDatabaseTemplate()));
    {
        catalogue::ConfigDatabase writer;
        ASSERT_TRUE(writer.Open(Utf8(other))) << writer.LastError();
        ASSERT_TRUE(writer.Execute("insert into Server (ip, port) values ('10.2.2.2', '22')")) << writer.LastError();
    }
    const std::string replacement = ReadFileBytes(other).value_or("");
    ASSERT_TRUE(DeleteFileW(other.c_str()));
    ASSERT_TRUE(WriteFileBytes(database, replacement));

    Process program;
    HWND main = StartAndWaitUntilLoaded(program, exe);
    ASSERT_NE(main, nullptr);
    std::optional<MessageBoxView> warning = WaitForMessageBox(program.Id());
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->owner, main);
    EXPECT_EQ(warning->title, Gbk(L"\u8B66\u544A\uFF1A"));  // 警告：
    EXPECT_NE(warning->text.find(Gbk(L"\u5DF2\u6539\u540D\u4FDD\u5B58")), std::string::npos) << warning->text;  // 已改名保存
    EXPECT_NE(warning->text.find("config.MDB-journal-unused"), std::string::npos) << warning->text;
    ASSERT_TRUE(PressButton(warning->dialog, Gbk(L"\u786E\u5B9A")));  // 确定
    EXPECT_TRUE(Loaded(main));
    EXPECT_EQ(ReadFileBytes(database), replacement);
    EXPECT_FALSE(FileExists(database + L"-journal"));
    EXPECT_TRUE(FileExists(database + L"-journal-unused"));
    ASSERT_TRUE(CloseQuillon(program, main));
    EXPECT_TRUE(program.WaitForExit(kReactTimeout));
}

}  // namespace
}  // namespace wine_driver
