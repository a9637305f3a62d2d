// Test helpers: a fresh temporary folder per test and a private copy of the Jet-made reference database.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testfiles {

inline std::string referencePath() {
    return std::string(QUILLON_SOURCE_DIR) + "/../shared/reference/jet4-engine-made-empty.mdb";
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> referenceBytes() { return readFile(referencePath()); }

// A temporary folder removed when the test ends.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("quillon-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // A private copy of the reference database inside the folder.
    std::string copyOfReference(const std::string& name = "reference.mdb") const {
        std::string target = file(name);
        writeFile(target, referenceBytes());
        return target;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testfiles
