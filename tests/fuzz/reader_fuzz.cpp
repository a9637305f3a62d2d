// libFuzzer entry point: the reader must turn any bytes into either a database or a jet::Error, never a crash,
// a hang or a read outside the file. Opens the bytes, lists every table, reads every row and runs the
// consistency check.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto db = jet::Database::openBytes(std::vector<uint8_t>(data, data + size));
        for (const std::u16string& name : db->tableNames(true)) {
            try {
                db->readRows(db->table(name));
            } catch (const jet::Error&) {
                // A damaged table; the others must still be readable without harm.
            }
        }
        db->check();
    } catch (const jet::Error&) {
        // Refusing damaged bytes with an error is the expected outcome.
    }
    return 0;
}
