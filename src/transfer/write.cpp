// Writing a plan: the backup copy, then one change of the database.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "jet/value.h"
#include "transfer/files.h"
#include "transfer/import.h"
#include "transfer/text.h"

namespace transfer {
namespace {

// "备份" in UTF-8, the folder's name in paths.
const char8_t kBackupFolder[] = u8"备份";

// A copy's name: "<stem>-yyyyMMdd-HHmmss[-N]<extension>". Its time and number, for the order of copies;
// false for any other name.
bool ParseCopyName(const std::string& name, const std::string& stem, const std::string& extension,
                   std::string& stamp, unsigned& number) {
    const std::string prefix = stem + "-";
    if (name.size() < prefix.size() + 15 + extension.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        !text::EqualsIgnoringAsciiCase(jet::fromUtf8(name.substr(name.size() - extension.size())),
                                       jet::fromUtf8(extension))) {
        return false;
    }
    const std::string_view middle =
        std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - extension.size());
    auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (middle.size() < 15 || !digits(middle.substr(0, 8)) || middle[8] != '-' || !digits(middle.substr(9, 6))) {
        return false;
    }
    stamp = std::string(middle.substr(0, 15));
    number = 1;
    if (middle.size() == 15) return true;
    const std::string_view rest = middle.substr(15);
    if (rest.size() < 2 || rest.size() > 4 || rest[0] != '-' || !digits(rest.substr(1))) return false;
    number = static_cast<unsigned>(std::stoul(std::string(rest.substr(1))));
    return true;
}

}  // namespace

runtime::DateTimeValue LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    local = *std::localtime(&now);  // the C runtime's result is per thread there
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::optional<std::string> BackUpDatabase(catalogue::ConfigDatabase& db, const std::string& databasePath,
                                          const runtime::DateTimeValue& now, std::string& error) {
    const std::filesystem::path database = files::PathOf(databasePath);
    const std::filesystem::path folder = database.parent_path() / kBackupFolder;
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    if (failed) {
        error = "无法建立备份文件夹 " + text::GbkOfUtf8(files::Utf8Of(folder));
        return std::nullopt;
    }
    const std::string stem = files::Utf8Of(database.stem()), extension = files::Utf8Of(database.extension());
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year % 10000, now.month % 100, now.day % 100,
                  now.hour % 100, now.minute % 100, now.second % 100);
    std::string copy;
    for (unsigned number = 1; copy.empty(); ++number) {
        if (number > 99) {
            error = "备份文件夹里同一时刻的备份太多";
            return std::nullopt;
        }
        std::string name = stem + "-" + stamp + (number > 1 ? "-" + std::to_string(number) : "") + extension;
        std::filesystem::path candidate = folder / files::PathOf(name);
        if (!std::filesystem::exists(candidate, failed)) copy = files::Utf8Of(candidate);
    }
    if (!db.SaveCopy(copy)) {
        error = "无法写入备份 " + text::GbkOfUtf8(copy) + ": " + db.LastError();
        return std::nullopt;
    }

    // The ten newest copies stay.
    struct Copy {
        std::string stamp;
        unsigned number;
        std::filesystem::path path;
    };
    std::vector<Copy> copies;
    for (std::filesystem::directory_iterator it(folder, failed), end; !failed && it != end; it.increment(failed)) {
        Copy found;
        if (ParseCopyName(files::Utf8Of(it->path().filename()), stem, extension, found.stamp, found.number)) {
            found.path = it->path();
            copies.push_back(std::move(found));
        }
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.number > b.number;
    });
    for (size_t i = kBackupsKept; i < copies.size(); ++i) std::filesystem::remove(copies[i].path, failed);
    return copy;
}

WriteResult WritePlan(catalogue::ConfigDatabase& db, const std::string& databasePath, const ImportPlan& plan,
                      const runtime::DateTimeValue& now) {
    WriteResult result;
    std::vector<catalogue::ServerEntry> added;
    std::vector<catalogue::ServerUpdate> updated;
    for (const PlannedServer& server : plan.servers) {
        if (server.action == Action::kAdd) added.push_back(server.entry);
        if (server.action == Action::kUpdate) updated.push_back({server.existing, server.entry});
    }
    if (added.empty() && updated.empty()) {
        result.written = true;
        return result;
    }
    std::string error;
    std::optional<std::string> copy = BackUpDatabase(db, databasePath, now, error);
    if (!copy) {
        result.error = "备份失败，没有导入：" + error;
        return result;
    }
    result.backupPath = *copy;
    if (!catalogue::SaveServers(db, added, updated)) {
        result.error = "写入数据库失败，没有导入任何服务器：" + db.LastError();
        return result;
    }
    result.written = true;
    return result;
}

}  // namespace transfer
