// libFuzzer entry point: whatever journal lies beside a database file, opening the file must end in the file
// kept, repaired or left alone with the journal set aside, or in a jet::Error; never a crash, a read outside
// the journal or the file, or memory sized from what the journal claims.
//
// The input is a journal's body after its magic: lengths, counts, entries. The harness puts the magic in front
// and the right checksum where the counts say the entries end (cutting what lies beyond), so that the fuzzer
// reaches the checks that follow them. The database is a small file held in memory, as is everything the
// store writes. Originals take 4100 bytes each: run it with -max_len=16384 -len_control=0.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"

namespace {

class MemoryFileSystem : public jet::FileSystem {
public:
    std::map<std::string, std::vector<uint8_t>> files;

    bool exists(const std::string& path) override { return files.count(path) != 0; }
    std::vector<uint8_t> readAll(const std::string& path) override { return at(path); }
    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        std::vector<uint8_t>& file = files[path];
        if (offset + size > (uint64_t(1) << 30)) throw jet::Error("a write far past any real file");
        if (file.size() < offset + size) file.resize(size_t(offset + size));
        std::memcpy(file.data() + offset, data, size);
    }
    void truncate(const std::string& path, uint64_t size) override {
        if (size > (uint64_t(1) << 30)) throw jet::Error("a length far past any real file");
        at(path).resize(size_t(size));
    }
    void flush(const std::string&) override {}
    void remove(const std::string& path) override { files.erase(path); }
    void rename(const std::string& from, const std::string& to) override {
        if (exists(to)) throw jet::Error("the name is taken");
        files[to] = at(from);
        files.erase(from);
    }

private:
    std::vector<uint8_t>& at(const std::string& path) {
        auto found = files.find(path);
        if (found == files.end()) throw jet::Error("no file " + path);
        return found->second;
    }
};

const std::vector<uint8_t>& database() {
    static const std::vector<uint8_t> bytes = [] {
        jet::NewTable hosts;
        hosts.name = u"Hosts";
        hosts.columns = {{u"Id", jet::ColumnType::Long, 0, true}, {u"Name", jet::ColumnType::Text, 50, false}};
        for (int i = 0; i < 20; ++i) hosts.rows.push_back({std::monostate{}, std::u16string(u"host")});
        return jet::createDatabase({hosts});
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> journal = {'Q', 'J', 'E', 'T', 'J', 'R', 'N', '3'};
    journal.insert(journal.end(), data, data + size);
    auto get32 = [&](size_t at) {
        return uint64_t(journal[at]) | uint64_t(journal[at + 1]) << 8 | uint64_t(journal[at + 2]) << 16 |
               uint64_t(journal[at + 3]) << 24;
    };
    if (journal.size() >= 32) {
        uint64_t end = 32 + get32(24) * 68 + get32(28) * 4100;  // header, written entries, originals
        if (end <= journal.size()) journal.resize(size_t(end));
    }
    uint64_t sum = jet::detail::journalHash(journal.data(), journal.size());
    for (int i = 0; i < 8; ++i) journal.push_back(uint8_t(sum >> (8 * i)));

    MemoryFileSystem fs;
    fs.files["db.mdb"] = database();
    fs.files[jet::PageStore::journalPath("db.mdb")] = journal;
    try {
        jet::Database::openForReading("db.mdb", fs);
        auto db = jet::Database::open("db.mdb", fs);
        db->readRows(db->table(u"Hosts"));
    } catch (const jet::Error&) {
        // A file the journal's restore left unreadable, or a journal that could not be set aside.
    }
    return 0;
}
