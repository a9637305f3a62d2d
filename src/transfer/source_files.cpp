// Sources by path: a file of any kind, a folder of .rdp files; and the .rdp reader.
#include <algorithm>
#include <set>
#include <system_error>

#include "jet/value.h"
#include "transfer/files.h"
#include "transfer/import.h"
#include "transfer/readers.h"
#include "transfer/text.h"

namespace transfer {
namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// "password 51:b:": two hex digits a byte; a last odd digit (the program's own files end with one more "0")
// is left aside.
bool HexBytes(std::u16string_view hex, std::vector<std::uint8_t>& out) {
    out.clear();
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return hex.size() % 2 == 0 || HexDigit(hex.back()) >= 0;
}

std::u16string BaseName(const std::string& utf8Name) {
    std::u16string name = jet::fromUtf8(files::Utf8Of(files::PathOf(utf8Name).filename()));
    if (name.size() > 4 && text::EqualsIgnoringAsciiCase(std::u16string_view(name).substr(name.size() - 4), u".rdp")) {
        name.resize(name.size() - 4);
    }
    return name;
}

bool HasExtension(const std::filesystem::path& path, std::u16string_view extension) {
    return text::EqualsIgnoringAsciiCase(jet::fromUtf8(files::Utf8Of(path.extension())), extension);
}

SourceReading ReadFolder(const std::filesystem::path& folder, const ReadOptions& options) {
    SourceReading out;
    out.kind = SourceKind::kConnectionFolder;
    std::vector<std::filesystem::path> paths;
    size_t entries = 0, folders = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (++entries > kMaxFolderEntries || paths.size() > kMaxServers) {
            out.failure = "文件夹里的文件太多，未读取";
            return out;
        }
        std::error_code kindError;
        if (it->is_directory(kindError)) {
            ++folders;
        } else if (HasExtension(it->path(), u".rdp")) {
            paths.push_back(it->path());
        }
    }
    if (error) {
        out.failure = "无法列出文件夹里的文件";
        return out;
    }
    if (paths.empty()) {
        out.failure = "文件夹里没有 .rdp 文件";
        return out;
    }
    std::sort(paths.begin(), paths.end());
    out.description = "远程桌面连接文件夹（" + std::to_string(paths.size()) + " 个 .rdp 文件）";
    if (folders > 0) out.notes.push_back(std::to_string(folders) + " 个子文件夹未读取");
    std::set<std::string> encodings;
    for (const std::filesystem::path& path : paths) {
        const std::string name = files::Utf8Of(path.filename());
        std::string bytes, why;
        SourceReading file;
        if (files::ReadFile(path, kMaxConnectionFileBytes, bytes, why)) {
            file = ReadConnectionFile(bytes, name, options);
        } else {
            file.failure = why;
        }
        if (!file.failure.empty()) {
            SourceServer& refused = out.servers.emplace_back();
            refused.origin = text::GbkOfUtf8(name);
            refused.refusal = file.failure;
            continue;
        }
        encodings.insert(file.encoding);
        out.servers.push_back(std::move(file.servers.front()));
    }
    for (const std::string& encoding : encodings) out.encoding += (out.encoding.empty() ? "" : "、") + encoding;
    return out;
}

}  // namespace

SourceReading ReadConnectionFile(std::string_view bytes, const std::string& name, const ReadOptions& options) {
    SourceReading out;
    out.kind = SourceKind::kConnectionFile;
    out.description = "远程桌面连接文件（.rdp）";
    if (bytes.size() > kMaxConnectionFileBytes) {
        out.failure = "文件太大，不是远程桌面连接文件";
        return out;
    }
    std::u16string content;
    text::Encoding encoding;
    if (!text::DecodeText(bytes, content, encoding, out.failure)) return out;
    out.encoding = text::EncodingName(encoding);

    SourceServer server;
    server.origin = text::GbkOfUtf8(files::Utf8Of(files::PathOf(name).filename()));
    server.note = BaseName(name);
    std::u16string serverPort;
    bool settings = false;  // a line of the "name:type:value" form
    for (size_t pos = 0; pos < content.size();) {
        size_t end = content.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos) end = content.size();
        std::u16string_view line = std::u16string_view(content).substr(pos, end - pos);
        pos = end + 1;
        size_t first = line.find(u':');
        size_t second = first == std::u16string_view::npos ? first : line.find(u':', first + 1);
        if (second == std::u16string_view::npos) continue;
        settings = true;
        const std::u16string key = text::AsciiLower(text::Trim(line.substr(0, first)));
        const std::u16string value = text::Trim(line.substr(second + 1));
        if (key == u"full address") {
            server.address = value;
        } else if (key == u"server port") {
            serverPort = value;
        } else if (key == u"username") {
            server.user = value;
        } else if (key == u"password 51") {
            std::vector<std::uint8_t> blob;
            if (!HexBytes(value, blob)) {
                server.remarks.push_back("密码未导入：不是十六进制数字");
            } else if (!blob.empty()) {
                detail::TakeProtectedPassword(blob, options, server);
            }
        }
    }
    if (!settings) {
        out.failure = "不是远程桌面连接文件（没有“名称:类型:值”的行）";
        return out;
    }
    text::SplitHostPort(server.address, server.port);
    if (server.port.empty()) server.port = serverPort;
    out.servers.push_back(std::move(server));
    return out;
}

SourceReading ReadSource(const std::string& path, const ReadOptions& options) {
    const std::filesystem::path where = files::PathOf(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(where, error);
    SourceReading out;
    if (error || !std::filesystem::exists(status)) {
        out.failure = "找不到 " + text::GbkOfUtf8(path);
        return out;
    }
    if (std::filesystem::is_directory(status)) return ReadFolder(where, options);
    if (!std::filesystem::is_regular_file(status)) {
        out.failure = text::GbkOfUtf8(path) + " 不是文件";
        return out;
    }
    const bool rdp = HasExtension(where, u".rdp");
    const bool xml = HasExtension(where, u".rdg") || HasExtension(where, u".xml");
    std::string bytes;
    if (!files::ReadFile(where, rdp ? kMaxConnectionFileBytes : xml ? kMaxXmlBytes : kMaxTableBytes, bytes,
                         out.failure)) {
        return out;
    }
    if (rdp) return ReadConnectionFile(bytes, path, options);
    if (std::optional<SourceReading> read = detail::ReadXml(bytes, options)) return std::move(*read);
    if (xml) {
        out.failure = "不是 XML 文件";
        return out;
    }
    return ReadTextTable(bytes);
}

}  // namespace transfer
