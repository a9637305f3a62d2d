// Plausible servers for the list benchmarks (bench/program/refresh_bench.cpp, bench/wine/list_fill_bench.cpp),
// and a config.MDB holding them. Compiled in the program's text encoding (GBK), like the program itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql.h"
#include "runtime/text_codec.h"

namespace bench {

// A small fixed pseudo-random sequence, so that every run makes the same servers.
class Sequence {
public:
    explicit Sequence(std::uint32_t start = 20251208u) : state_(start) {}
    std::uint32_t Next(std::uint32_t below) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) % below;
    }

private:
    std::uint32_t state_;
};

inline std::string Pad2(std::uint32_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// `count` servers as people keep them: addresses in private ranges and host names, the usual ports and
// others, user names, passwords, notes (most with Chinese text) and expiry dates, some empty. Every field
// fits its column of table Server.
inline std::vector<catalogue::ServerEntry> MakeServerEntries(int count) {
    static const char* const kNotes[] = {"办公室", "机房一号", "家里的电脑", "测试服务器", "客户 A", "备份机", "我的服务器"};
    static const char* const kUsers[] = {"administrator", "admin", "root", "运维", "user"};
    static const char* const kNames[] = {"srv", "db", "web", "gw", "file"};
    Sequence random;
    std::vector<catalogue::ServerEntry> servers;
    servers.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        catalogue::ServerEntry server;
        switch (random.Next(4)) {
        case 0:
            server.ip = "10." + std::to_string(random.Next(256)) + "." + std::to_string(random.Next(256)) + "." +
                        std::to_string(random.Next(256));
            break;
        case 1: server.ip = "192.168." + std::to_string(random.Next(256)) + "." + std::to_string(random.Next(256)); break;
        case 2: server.ip = "172.16." + std::to_string(random.Next(16)) + "." + std::to_string(random.Next(256)); break;
        default: server.ip = std::string(kNames[random.Next(5)]) + std::to_string(random.Next(500)) + ".example.cn";
        }
        switch (random.Next(3)) {
        case 0: server.port = "3389"; break;
        case 1: server.port = std::to_string(1024 + random.Next(60000)); break;
        default: server.port = std::to_string(3389 + random.Next(20));
        }
        server.user = std::string(kUsers[random.Next(5)]) + (random.Next(3) == 0 ? std::to_string(i % 100) : "");
        server.password = "Pw" + std::to_string(100000 + random.Next(900000)) + "!";
        server.note = std::string(kNotes[random.Next(7)]) + std::to_string(i + 1);
        if (random.Next(4) != 0) {
            server.dqsj = std::to_string(2025 + random.Next(5)) + "/" + std::to_string(1 + random.Next(12)) + "/" +
                          std::to_string(1 + random.Next(28)) + " " + Pad2(random.Next(24)) + ":" +
                          Pad2(random.Next(60)) + ":" + Pad2(random.Next(60));
        }
        servers.push_back(std::move(server));
    }
    return servers;
}

// Writes a new config.MDB at `path` (replacing none: the file must not exist yet) holding `servers` in
// table Server, in order. The rows go in through the engine as one statement, which is far quicker than
// adding them one by one through the program's record set. Gives "" or what went wrong.
inline std::string WriteServerDatabase(const std::string& path, const std::vector<catalogue::ServerEntry>& servers) {
    if (!catalogue::EnsureConfigDatabaseFile(path)) return "could not write the empty database at " + path;
    try {
        std::unique_ptr<jet::Database> db = jet::Database::open(path);
        const jet::TableDef& table = db->table(u"Server");
        auto column = [&](const char16_t* name) {
            for (size_t i = 0; i < table.columns.size(); ++i) {
                if (table.columns[i].name == name) return i;
            }
            throw jet::Error("table Server has no column " + jet::toUtf8(name));
        };
        struct Field {
            size_t column;
            std::string catalogue::ServerEntry::*field;
        };
        const Field fields[] = {{column(u"ip"), &catalogue::ServerEntry::ip},
                                {column(u"port"), &catalogue::ServerEntry::port},
                                {column(u"user"), &catalogue::ServerEntry::user},
                                {column(u"password"), &catalogue::ServerEntry::password},
                                {column(u"note"), &catalogue::ServerEntry::note},
                                {column(u"dqsj"), &catalogue::ServerEntry::dqsj}};
        db->statement([&] {
            for (const catalogue::ServerEntry& server : servers) {
                jet::Row values(table.columns.size());
                for (const Field& field : fields) {
                    values[field.column] =
                        jet::sql::columnValue(table, field.column, runtime::GbkToUtf16(server.*field.field));
                }
                db->insertRow(table, values);
            }
        });
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

}  // namespace bench
