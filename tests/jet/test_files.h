// Test helpers: a fresh temporary folder per test, and an empty database to start from.
//
// The empty database the Jet engine itself wrote lives in the team's shared folder beside the checkout, not
// in the repository. Tests that compare our files with it skip without it (QUILLON_SKIP_WITHOUT_REFERENCE);
// tests that only need an empty database take the engine's own empty file instead, which the creation tests
// compare with the Jet-made one wherever both exist.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <stdexcept>

#include <gtest/gtest.h>

#include "jet/create.h"

namespace testfiles {

inline std::string referencePath() {
    return std::string(QUILLON_SOURCE_DIR) + "/../shared/reference/jet4-engine-made-empty.mdb";
}

inline bool haveReference() { return std::filesystem::is_regular_file(referencePath()); }

// Skips the rest of a test when the Jet-made reference is not there, naming the missing file.
#define QUILLON_SKIP_WITHOUT_REFERENCE()                                                                     \
    if (!testfiles::haveReference()) GTEST_SKIP() << "no Jet-made reference here: " << testfiles::referencePath()

// The whole file; throws when it cannot be read, so that no test goes on with nothing.
inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> referenceBytes() { return readFile(referencePath()); }

// An empty database: the Jet-made one where it is present, otherwise this engine's own.
inline std::vector<uint8_t> emptyDatabaseBytes() {
    return haveReference() ? referenceBytes() : jet::createDatabase({});
}

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
    // A private copy of an empty database (emptyDatabaseBytes) inside the folder.
    std::string copyOfEmptyDatabase(const std::string& name = "empty.mdb") const {
        std::string target = file(name);
        writeFile(target, emptyDatabaseBytes());
        return target;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testfiles
