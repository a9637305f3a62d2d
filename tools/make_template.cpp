// Writes the configuration database template as a C++ byte list for src/catalogue/config_template_data.inc,
// and optionally as a database file. Run through scripts/regenerate-template.sh.
//
//   make_template OUT.inc [OUT.mdb]
#include <cstdio>
#include <exception>
#include <vector>

#include "catalogue/config_template.h"
#include "jet/create.h"

namespace {

bool writeFile(const char* path, const void* data, size_t size) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: make_template OUT.inc [OUT.mdb]\n", stderr);
        return 2;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = jet::createDatabase(catalogue::ConfigTemplateTables());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_template: %s\n", e.what());
        return 1;
    }
    std::vector<char> text;
    char cell[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        int n = std::snprintf(cell, sizeof cell, "0x%02x,", bytes[i]);
        text.insert(text.end(), cell, cell + n);
        if (i % 16 == 15 || i + 1 == bytes.size()) text.push_back('\n');
    }
    if (!writeFile(argv[1], text.data(), text.size())) {
        std::fprintf(stderr, "make_template: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3 && !writeFile(argv[2], bytes.data(), bytes.size())) {
        std::fprintf(stderr, "make_template: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
