// The server records and their text rules. This file is compiled with GBK as its execution character set,
// so the Chinese literals below are GBK bytes, the same as every text the functions take and give.
#include "catalogue/server_records.h"

#include <cstddef>
#include <iterator>
#include <string_view>
#include <utility>

#include "runtime/text_codec.h"

namespace catalogue {
namespace {

const char kMyServer[] = "我的服务器";
const char kFullWidthSpace[] = "\xA1\xA1";

// The GBK character that starts at text[pos]: two bytes for a lead byte with a byte after it, otherwise one.
// (These run for every row of the server list several times a second: they make no copies.)
std::string_view CharAt(std::string_view text, size_t pos) {
    unsigned char byte = static_cast<unsigned char>(text[pos]);
    return text.substr(pos, byte >= 0x81 && byte <= 0xFE && pos + 1 < text.size() ? 2 : 1);
}

bool IsBlank(std::string_view ch) { return ch == " " || ch == kFullWidthSpace; }

bool IsForbiddenInFileName(std::string_view ch) {
    if (ch.size() != 1) return false;
    unsigned char byte = static_cast<unsigned char>(ch[0]);
    if (byte < 0x20 || byte == 0x7F) return true;
    switch (byte) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return false;
    }
}

// The six columns of table Server in the order the program writes them, with the entry's field for each.
struct Column {
    const char* name;
    std::string ServerEntry::*field;
};
const Column kColumns[] = {
    {"ip", &ServerEntry::ip},     {"port", &ServerEntry::port}, {"user", &ServerEntry::user},
    {"password", &ServerEntry::password}, {"note", &ServerEntry::note}, {"dqsj", &ServerEntry::dqsj},
};

bool WriteColumns(ConfigDatabase& db, const ServerEntry& entry) {
    for (const Column& column : kColumns) {
        if (!db.WriteText(column.name, entry.*column.field)) return false;
    }
    return true;
}

// The condition selecting the rows with this ip and port.
std::string IpPortCondition(const std::string& ip, const std::string& port) {
    return "ip=" + SqlText(ip) + " and port=" + SqlText(port);
}

}  // namespace

std::string TrimBlanks(const std::string& gbk) {
    size_t first = gbk.size(), end = 0;
    for (size_t pos = 0; pos < gbk.size();) {
        const std::string_view ch = CharAt(gbk, pos);
        if (!IsBlank(ch)) {
            if (first == gbk.size()) first = pos;
            end = pos + ch.size();
        }
        pos += ch.size();
    }
    return first < end ? gbk.substr(first, end - first) : std::string();
}

int ClassicRandom::Next() {
    state_ = state_ * 214013u + 2531011u;  // unsigned arithmetic wraps modulo 2^32
    return static_cast<int>((state_ >> 16) & 0x7FFF);
}

std::string DefaultNote() {
    ClassicRandom random(999);
    int number = random.Next() % 999 + 1;
    return std::string(kMyServer) + std::to_string(number);
}

std::string NoteForAdd(const std::string& typed) {
    std::string note = TrimBlanks(typed);
    return note.empty() ? DefaultNote() : note;
}

std::string NoteForModify(const std::string& typed) { return typed.empty() ? std::string(kMyServer) : typed; }

std::string ConnectionFileName(const std::string& note) {
    const std::string trimmed = TrimBlanks(note);
    std::string name;
    name.reserve(trimmed.size());
    for (size_t pos = 0; pos < trimmed.size();) {
        const std::string_view ch = CharAt(trimmed, pos);
        pos += ch.size();
        if (ch == " ") continue;
        if (IsForbiddenInFileName(ch)) {
            name += '_';
        } else {
            name += ch;
        }
    }
    return name;
}

std::string SqlText(const std::string& value) {
    std::string literal = "'";
    for (char c : value) {
        literal += c;
        if (c == '\'') literal += '\'';
    }
    literal += '\'';
    return literal;
}

std::string MissingFieldMessage(const ServerEntry& entry) {
    if (entry.ip.empty()) return "服务器IP不能为空...";
    if (entry.user.empty()) return "服务器用户名不能为空...";
    if (entry.password.empty()) return "服务器密码不能为空...";
    if (entry.port.empty()) return "服务器端口不能为空...";
    return "";
}

std::string ColumnLimitMessage(const ServerEntry& entry) {
    struct Limit {
        const std::string& value;
        size_t maxLength;
        const char* message;
    };
    const Limit limits[] = {
        {entry.ip, 20, "服务器IP不能超过20个字符..."},
        {entry.port, 10, "服务器端口不能超过10个字符..."},
        {entry.user, 20, "服务器用户名不能超过20个字符..."},
        {entry.password, 20, "服务器密码不能超过20个字符..."},
        {entry.note, 255, "备注不能超过255个字符..."},
        {entry.dqsj, 20, "到期时间不能超过20个字符..."},
    };
    for (const Limit& limit : limits) {
        if (runtime::GbkToUtf16(limit.value).size() > limit.maxLength) return limit.message;
    }
    return "";
}

TableNeeds ServerTableNeeds() {
    TableNeeds needs{.table = "Server"};
    for (const Column& column : kColumns) needs.columns.push_back(column.name);
    return needs;
}

bool LoadServers(ConfigDatabase& db, const std::function<void(ServerEntry&&)>& each) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Column& column : kColumns) list.push_back(column.name);
        return list;
    }();
    return db.ScanTable("Server", names, [&](const std::vector<std::string>& values) {
        ServerEntry entry;
        for (size_t i = 0; i < std::size(kColumns); ++i) entry.*kColumns[i].field = values[i];
        each(std::move(entry));
    });
}

bool LoadServers(ConfigDatabase& db, std::vector<ServerEntry>& out) {
    std::vector<ServerEntry> servers;
    if (!LoadServers(db, [&](ServerEntry&& entry) { servers.push_back(std::move(entry)); })) return false;
    out = std::move(servers);
    return true;
}

bool AddServer(ConfigDatabase& db, const ServerEntry& entry) {
    return db.OpenTable("Server") && db.AddRow() && WriteColumns(db, entry) && db.SaveRow();
}

bool FindServer(ConfigDatabase& db, const std::string& ip, const std::string& port) {
    if (!db.OpenFiltered("Server", IpPortCondition(ip, port))) return false;
    if (db.RecordCount() == 0) return false;
    std::string foundPort = db.ReadText("port");
    if (!db.LastError().empty()) return false;
    std::string foundIp = db.ReadText("ip");
    if (!db.LastError().empty()) return false;
    return foundPort == port && foundIp == ip;
}

bool SaveFoundServer(ConfigDatabase& db, const ServerEntry& entry) { return WriteColumns(db, entry) && db.SaveRow(); }

bool SaveServers(ConfigDatabase& db, const std::vector<ServerEntry>& added, const std::vector<ServerUpdate>& updated) {
    auto values = [](const ServerEntry& entry) {
        std::vector<std::pair<std::string, std::string>> cells;
        for (const Column& column : kColumns) cells.emplace_back(column.name, entry.*column.field);
        return cells;
    };
    std::vector<ConfigDatabase::RowWrite> rows;
    rows.reserve(added.size() + updated.size());
    for (const ServerUpdate& update : updated) {
        rows.push_back({{{"ip", update.before.ip}, {"port", update.before.port}}, values(update.after)});
    }
    for (const ServerEntry& entry : added) rows.push_back({{}, values(entry)});
    return db.WriteRows("Server", rows);
}

bool DeleteServers(ConfigDatabase& db, const std::string& ip, const std::string& port) {
    return db.Execute("delete from Server where " + IpPortCondition(ip, port));
}

}  // namespace catalogue
