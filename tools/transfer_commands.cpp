// The database tool's import and export-servers commands. Compiled with the program's text encoding: the
// library's messages and the literals here are GBK, printed as UTF-8.
#include "transfer_commands.h"

#include <cstdio>

#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "jet/value.h"
#include "runtime/text_codec.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace {

std::string Utf8(const std::string& gbk) { return runtime::Utf16ToUtf8(runtime::GbkToUtf16(gbk)); }

void Print(std::FILE* to, const std::string& gbk) { std::fprintf(to, "%s\n", Utf8(gbk).c_str()); }

int Fail(const std::string& file, const std::string& gbk) {
    std::fprintf(stderr, "quillon-db: %s: %s\n", file.c_str(), Utf8(gbk).c_str());
    return 1;
}

int Usage() {
    std::fputs("usage: quillon-db import FILE.mdb SOURCE [--update] [--master-password P]\n"
               "       quillon-db export-servers FILE.mdb OUT.csv [--with-passwords]\n",
               stderr);
    return 2;
}

std::string Joined(const std::vector<std::string>& remarks) {
    std::string text;
    for (const std::string& remark : remarks) text += (text.empty() ? "" : "；") + remark;
    return text;
}

}  // namespace

int ImportCommand(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool update = false;
    transfer::ReadOptions options;
    options.unprotect = transfer::SystemUnprotector();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--update") {
            update = true;
        } else if (args[i] == "--master-password" && i + 1 < args.size()) {
            options.masterPassword = jet::fromUtf8(args[++i]);
            if (options.masterPassword.empty()) return Usage();
        } else if (args[i].rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return Usage();
    const std::string& database = files[0];
    const std::string& sourcePath = files[1];

    transfer::SourceReading source = transfer::ReadSource(sourcePath, options);
    if (!source.failure.empty()) {
        return Fail(sourcePath, source.needsMasterPassword ? source.failure + "（用 --master-password 给出）"
                                                           : source.failure);
    }
    catalogue::ConfigDatabase db;
    std::vector<catalogue::ServerEntry> existing;
    if (!db.Open(database) || !catalogue::LoadServers(db, existing)) return Fail(database, db.LastError());
    if (!db.OpeningNote().empty()) Print(stderr, "quillon-db: " + db.OpeningNote());

    transfer::ImportPlan plan = transfer::PlanImport(source, existing, update);
    Print(stdout, "来源：" + source.description + (source.encoding.empty() ? "" : "，" + source.encoding));
    for (const std::string& note : source.notes) Print(stdout, "说明：" + note);
    for (const transfer::PlannedServer& server : plan.servers) {
        std::string line = server.origin + ": " + transfer::ActionText(server.action);
        if (!server.reason.empty()) line += ": " + server.reason;
        if (!server.remarks.empty()) line += "（" + Joined(server.remarks) + "）";
        if (server.action == transfer::Action::kRefuse) {
            Print(stderr, line);
        } else if (!server.reason.empty() || !server.remarks.empty()) {
            Print(stdout, line);
        }
    }
    transfer::WriteResult written = transfer::WritePlan(db, database, plan, transfer::LocalNow());
    if (!written.written) return Fail(database, written.error);
    if (!written.backupPath.empty()) std::printf("%s%s\n", Utf8("备份：").c_str(), written.backupPath.c_str());
    Print(stdout, "添加 " + std::to_string(plan.added) + "，更新 " + std::to_string(plan.updated) + "，跳过 " +
                      std::to_string(plan.skipped) + "，拒绝 " + std::to_string(plan.refused));
    return plan.refused > 0 ? 3 : 0;
}

int ExportServersCommand(const std::vector<std::string>& args) {
    bool passwords = args.size() == 3 && args[2] == "--with-passwords";
    if (args.size() != 2 && !passwords) return Usage();
    catalogue::ConfigDatabase db;
    std::vector<catalogue::ServerEntry> servers;
    if (!db.OpenForReading(args[0]) || !catalogue::LoadServers(db, servers)) return Fail(args[0], db.LastError());
    std::string error;
    if (!transfer::ExportServers(args[1], servers, passwords, error)) return Fail(args[1], error);
    Print(stdout, "导出 " + std::to_string(servers.size()) + " 个服务器");
    return 0;
}
