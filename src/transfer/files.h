// Files by UTF-8 path (std::filesystem, which reaches Windows through its wide functions). Internal to
// src/transfer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace transfer::files {

std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// The whole file into `bytes` when it holds at most `limit` bytes (checked before reading, and while
// reading, should it grow); false with `why` (GBK) otherwise.
bool ReadFile(const std::filesystem::path& path, std::uint64_t limit, std::string& bytes, std::string& why);

// The size as text for messages: "12 KB", "3.4 MB", "1.0 GB".
std::string SizeText(std::uint64_t bytes);

}  // namespace transfer::files
