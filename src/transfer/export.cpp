#include "transfer/export.h"

#include <fstream>

#include "runtime/text_codec.h"
#include "transfer/files.h"
#include "transfer/text.h"

namespace transfer {
namespace {

void AppendCell(std::string& out, const std::string& gbk) {
    const std::string utf8 = runtime::Utf16ToUtf8(runtime::GbkToUtf16(gbk));
    bool quote = utf8.find_first_of(",\"\r\n") != std::string::npos ||
                 (!utf8.empty() && (text::IsBlank(static_cast<unsigned char>(utf8.front())) ||
                                    text::IsBlank(static_cast<unsigned char>(utf8.back()))));
    if (!quote && utf8.size() >= 3) {
        // A full-width blank (U+3000, E3 80 80) at either end is trimmed by the import too.
        quote = utf8.compare(0, 3, "\xE3\x80\x80") == 0 || utf8.compare(utf8.size() - 3, 3, "\xE3\x80\x80") == 0;
    }
    if (!quote) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string ServersCsv(const std::vector<catalogue::ServerEntry>& servers, bool withPasswords) {
    std::string out = "\xEF\xBB\xBF";
    out += runtime::Utf16ToUtf8(withPasswords ? u"服务器IP,端口,用户,密码,备注,到期时间\r\n"
                                              : u"服务器IP,端口,用户,备注,到期时间\r\n");
    for (const catalogue::ServerEntry& server : servers) {
        AppendCell(out, server.ip);
        for (const std::string* value : {&server.port, &server.user, &server.password, &server.note, &server.dqsj}) {
            if (value == &server.password && !withPasswords) continue;
            out += ',';
            AppendCell(out, *value);
        }
        out += "\r\n";
    }
    return out;
}

bool ExportServers(const std::string& path, const std::vector<catalogue::ServerEntry>& servers, bool withPasswords,
                   std::string& error) {
    const std::string csv = ServersCsv(servers, withPasswords);
    std::ofstream out(files::PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    out.close();
    if (!out) {
        error = "无法写入 " + text::GbkOfUtf8(path);
        return false;
    }
    return true;
}

}  // namespace transfer
