#include "catalogue/config_check.h"

#include <algorithm>

#include "catalogue/server_records.h"

namespace catalogue {
namespace {

// Names compare as the database compares them: ASCII letters without regard to case.
bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

std::vector<MissingPart> FindMissingParts(ConfigDatabase& db, const std::vector<TableNeeds>& needs) {
    std::vector<MissingPart> missing;
    for (const TableNeeds& need : needs) {
        std::vector<std::string> present;
        if (!db.TableColumns(need.table, present)) {
            missing.push_back({.table = need.table, .detail = db.LastError()});
            continue;
        }
        MissingPart part{.table = need.table};
        for (const std::string& column : need.columns) {
            const bool there = std::any_of(present.begin(), present.end(),
                                           [&](const std::string& name) { return SameName(name, column); });
            if (!there) part.columns.push_back(column);
        }
        if (part.columns.empty() && !need.keyColumn.empty()) {
            const bool read = db.OpenFiltered(need.table, need.keyColumn + "=" + SqlText(need.keyValue));
            const int rows = read ? db.RecordCount() : 0;
            if (!read || rows == 0) {
                part.keyColumn = need.keyColumn;
                part.keyValue = need.keyValue;
                part.detail = db.LastError();
            }
            db.Close();
        }
        if (!part.columns.empty() || !part.keyColumn.empty()) missing.push_back(std::move(part));
    }
    return missing;
}

std::string ForeignDatabaseMessage(const std::vector<MissingPart>& missing) {
    bool unreadable = false;
    std::string lines;
    for (const MissingPart& part : missing) {
        std::string line = "    表 " + part.table;
        if (!part.columns.empty()) {
            line += " 的列 ";
            for (size_t i = 0; i < part.columns.size(); ++i) line += (i ? "、" : "") + part.columns[i];
        } else if (!part.keyColumn.empty()) {
            line += " 中 " + part.keyColumn + " 为“" + part.keyValue + "”的行";
        }
        if (!part.detail.empty()) {
            unreadable = true;
            line += "（无法读取：" + part.detail + "）";
        }
        lines += line + "\n";
    }
    return std::string(unreadable ? "config.MDB 不是本程序的配置数据库，或已损坏。它缺少：\n\n"
                                  : "config.MDB 不是本程序的配置数据库。它缺少：\n\n") +
           lines +
           "\n程序没有改动这个文件，现在退出。请放回本程序的 config.MDB；或者把这个文件移走，"
           "程序下次启动时会新建一个空的配置数据库。";
}

}  // namespace catalogue
