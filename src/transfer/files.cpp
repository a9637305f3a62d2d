#include "transfer/files.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace transfer::files {

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string SizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes < (1u << 20)) {
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
    } else if (bytes < (1u << 30)) {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f GB", bytes / 1073741824.0);
    }
    return text;
}

bool ReadFile(const std::filesystem::path& path, std::uint64_t limit, std::string& bytes, std::string& why) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error) {
        why = "无法读取文件";
        return false;
    }
    auto tooLarge = [&](std::uint64_t found) {
        why = "文件太大（" + SizeText(found) + "），超过 " + SizeText(limit) + " 的文件不读";
        return false;
    };
    if (size > limit) return tooLarge(size);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "无法打开文件";
        return false;
    }
    std::string content;
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        content.append(buffer, static_cast<size_t>(in.gcount()));
        if (content.size() > limit) return tooLarge(content.size());
    }
    if (in.bad()) {
        why = "读取文件时出错";
        return false;
    }
    bytes = std::move(content);
    return true;
}

}  // namespace transfer::files
