// What happens to each server a source gives.
#include <unordered_map>

#include "runtime/text_codec.h"
#include "transfer/import.h"
#include "transfer/text.h"

namespace transfer {
namespace {

const char kDefaultPort[] = "3389";

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

// The first character of `value` GBK cannot hold, or empty. GBK has no character outside the Basic
// Multilingual Plane, and gives one character back for each it is given.
std::u16string FirstOutsideGbk(const std::u16string& value) {
    const std::u16string back = runtime::GbkToUtf16(runtime::Utf16ToGbk(value));
    for (size_t i = 0, j = 0; i < value.size(); ++i, ++j) {
        const bool pair = value[i] >= 0xD800 && value[i] <= 0xDBFF && i + 1 < value.size();
        if (pair || j >= back.size() || back[j] != value[i]) return value.substr(i, pair ? 2 : 1);
    }
    return u"";
}

// A port as the database keeps it: 1..65535 in decimal, without leading zeros; nullopt when it is not one.
std::optional<std::string> PortText(const std::u16string& port) {
    if (port.empty()) return kDefaultPort;
    unsigned long value = 0;
    for (char16_t c : port) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 65535) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return std::to_string(value);
}

// Addresses compare without regard to ASCII case; ports as numbers where they are numbers.
std::u16string Key(const std::u16string& address, const std::string& port) {
    return text::AsciiLower(address) + u'\n' + runtime::GbkToUtf16(port);
}

std::u16string KeyOf(const catalogue::ServerEntry& entry) {
    std::u16string port = text::Trim(runtime::GbkToUtf16(entry.port));
    std::optional<std::string> number = PortText(port);
    return Key(text::Trim(runtime::GbkToUtf16(entry.ip)), number ? *number : runtime::Utf16ToGbk(port));
}

bool Same(const catalogue::ServerEntry& a, const catalogue::ServerEntry& b) {
    return a.ip == b.ip && a.port == b.port && a.user == b.user && a.password == b.password && a.note == b.note &&
           a.dqsj == b.dqsj;
}

// The checks and conversions of one server: empty when it can be written (then `entry` holds it), else the
// reason (then `entry` shows the values as far as GBK can). Lengths are checked before the exact conversion,
// so that a value of megabytes costs two conversions, not four.
std::string Prepare(const SourceServer& source, catalogue::ServerEntry& entry, bool& noteGiven) {
    std::u16string address = text::Trim(source.address), port = text::Trim(source.port);
    if (port.empty()) text::SplitHostPort(address, port);
    std::u16string note = text::Trim(source.note);
    noteGiven = !note.empty();
    if (!noteGiven) note = address;
    const std::u16string user = text::Trim(source.user), expiry = text::Trim(source.expiry);
    struct Value {
        const char* name;
        const std::u16string& text;
        std::string* out;
    };
    const Value values[] = {{"服务器地址", address, &entry.ip}, {"端口", port, &entry.port},
                            {"用户名", user, &entry.user},      {"密码", source.password, &entry.password},
                            {"备注", note, &entry.note},        {"到期时间", expiry, &entry.dqsj}};
    for (const Value& value : values) *value.out = runtime::Utf16ToGbk(value.text);

    if (address.empty()) return "没有服务器地址";
    for (char16_t c : address) {
        if (text::IsBlank(c)) return "服务器地址含有空格";
    }
    for (const Value& value : values) {
        for (char16_t c : value.text) {
            // A note may hold line breaks and tabs (a quoted cell of a table).
            if (IsControl(c) && !(value.out == &entry.note && (c == u'\r' || c == u'\n' || c == u'\t'))) {
                return std::string(value.name) + "含有控制字符";
            }
        }
    }
    std::optional<std::string> portText = PortText(port);
    if (!portText) return "端口“" + entry.port + "”不是 1 到 65535 之间的数";
    entry.port = *portText;
    if (!entry.dqsj.empty()) {
        runtime::DateTimeValue when;
        if (!runtime::DateTimeFromText(entry.dqsj, when)) {
            return "到期时间“" + entry.dqsj + "”无法识别（应为 yyyy/M/d 或 yyyy-M-d，可带 H:mm 或 H:mm:ss）";
        }
        if (entry.dqsj.find(':') == std::string::npos) {
            when.hour = 23, when.minute = 59, when.second = 59;  // the whole of that day
        }
        entry.dqsj = runtime::ExpiryText(when);
    }
    if (std::string tooLong = catalogue::ColumnLimitMessage(entry); !tooLong.empty()) return tooLong;
    for (const Value& value : values) {
        if (value.out != &entry.port && value.out != &entry.dqsj && runtime::GbkToUtf16(*value.out) != value.text) {
            return std::string(value.name) + "含有 GBK 无法表示的字符“" + text::Gbk(FirstOutsideGbk(value.text)) + "”";
        }
    }
    return "";
}

}  // namespace

const char* ActionText(Action action) {
    switch (action) {
    case Action::kAdd: return "添加";
    case Action::kUpdate: return "更新";
    case Action::kSkip: return "跳过";
    case Action::kRefuse: return "拒绝";
    }
    return "";
}

ImportPlan PlanImport(const SourceReading& source, const std::vector<catalogue::ServerEntry>& existing,
                      bool updateExisting) {
    ImportPlan plan;
    std::unordered_map<std::u16string, size_t> existingByKey;
    for (size_t i = 0; i < existing.size(); ++i) existingByKey.emplace(KeyOf(existing[i]), i);
    std::unordered_map<std::u16string, std::string> earlier;  // key -> origin, of this source's servers

    plan.servers.reserve(source.servers.size());
    for (const SourceServer& server : source.servers) {
        PlannedServer& item = plan.servers.emplace_back();
        item.origin = server.origin;
        item.remarks = server.remarks;
        bool noteGiven = false;
        catalogue::ServerEntry entry;
        if (!server.refusal.empty()) {
            item.reason = server.refusal;
            entry = {text::Gbk(server.address), text::Gbk(server.port),     text::Gbk(server.user),
                     text::Gbk(server.password), text::Gbk(server.note), text::Gbk(server.expiry)};
        } else {
            item.reason = Prepare(server, entry, noteGiven);
        }
        if (!item.reason.empty()) {
            item.action = Action::kRefuse;
            item.entry = std::move(entry);
            ++plan.refused;
            continue;
        }
        item.entry = entry;
        const std::u16string key = Key(runtime::GbkToUtf16(entry.ip), entry.port);
        auto [first, fresh] = earlier.emplace(key, server.origin);
        auto found = existingByKey.find(key);
        if (!fresh) {
            item.action = Action::kSkip;
            item.reason = "与本次导入的“" + first->second + "”重复（地址和端口相同）";
        } else if (found != existingByKey.end()) {
            item.existing = existing[found->second];
            item.action = Action::kSkip;
            item.reason = "已有这个服务器（地址和端口相同）";
            if (updateExisting) {
                // What the source leaves empty keeps the existing value.
                if (entry.user.empty()) entry.user = item.existing.user;
                if (entry.password.empty()) entry.password = item.existing.password;
                if (!noteGiven) entry.note = item.existing.note;
                if (entry.dqsj.empty()) entry.dqsj = item.existing.dqsj;
                item.entry = entry;
                if (Same(entry, item.existing)) {
                    item.reason = "已有这个服务器，内容相同";
                } else {
                    item.action = Action::kUpdate;
                    item.reason.clear();
                }
            }
        } else {
            item.action = Action::kAdd;
        }
        if (item.action == Action::kSkip) {
            ++plan.skipped;
            continue;
        }
        ++(item.action == Action::kAdd ? plan.added : plan.updated);
        if (item.entry.user.empty()) item.remarks.push_back("没有用户名");
        bool passwordSaid = false;  // a reader's remark why the password was left out
        for (const std::string& remark : server.remarks) passwordSaid = passwordSaid || remark.rfind("密码", 0) == 0;
        if (item.entry.password.empty() && !passwordSaid) item.remarks.push_back("没有密码");
    }
    return plan;
}

}  // namespace transfer
