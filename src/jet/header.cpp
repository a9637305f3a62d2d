// Recognising a Jet 4 file from its first page.
#include "jet/header.h"

#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/page_store.h"

namespace jet::detail {

namespace {

constexpr char kJetMagic[] = "Standard Jet DB";  // followed by a zero byte
constexpr char kAceMagic[] = "Standard ACE DB";
constexpr size_t kMagicOffset = 4;
constexpr size_t kVersionOffset = 0x14;
// The header area from 0x18 to 0x97 is RC4-encoded with this key.
constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr size_t kEncodedStart = 0x18;
constexpr size_t kEncodedSize = 128;
constexpr size_t kDatabaseKeyOffset = 0x3E;
// The first decoded bytes are the same in every Jet 4 file.
constexpr uint8_t kDecodedConstant[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                          0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};

bool hasMagic(const uint8_t* data, const char* magic) {
    return std::memcmp(data + kMagicOffset, magic, std::strlen(magic) + 1) == 0;
}

}  // namespace

void rc4(const uint8_t* key, size_t keySize, uint8_t* data, size_t size) {
    uint8_t state[256];
    for (int i = 0; i < 256; ++i) state[i] = uint8_t(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = uint8_t(j + state[i] + key[size_t(i) % keySize]);
        std::swap(state[i], state[j]);
    }
    uint8_t a = 0, b = 0;
    for (size_t n = 0; n < size; ++n) {
        a = uint8_t(a + 1);
        b = uint8_t(b + state[a]);
        std::swap(state[a], state[b]);
        data[n] ^= state[uint8_t(state[a] + state[b])];
    }
}

void checkHeader(const uint8_t* data, size_t size) {
    bool jet = size >= kVersionOffset + 4 && data[0] == 0 && data[1] == 1 && data[2] == 0 && data[3] == 0 &&
               hasMagic(data, kJetMagic);
    bool ace = size >= kVersionOffset + 4 && data[0] == 0 && data[1] == 1 && data[2] == 0 && data[3] == 0 &&
               hasMagic(data, kAceMagic);
    if (!jet && !ace) throw Error("the file is not an Access database (it does not start with a Jet header)");
    uint32_t version = get32(data + kVersionOffset);
    if (ace || version >= 2)
        throw Error("the file is an ACE database (.accdb, Access 2007 or later); only Jet 4 (.mdb) files are supported");
    if (version == 0)
        throw Error("the file is a Jet 3 database (Access 97 or earlier); only Jet 4 (.mdb) files are supported");
    if (size < 2 * kPageSize || size % kPageSize != 0)
        throw Error("the database file is truncated: its length (" + std::to_string(size) +
                    " bytes) is not a whole number of 4096-byte pages, at least two");

    uint8_t decoded[kEncodedSize];
    std::memcpy(decoded, data + kEncodedStart, kEncodedSize);
    rc4(kHeaderKey, sizeof kHeaderKey, decoded, kEncodedSize);
    if (std::memcmp(decoded, kDecodedConstant, sizeof kDecodedConstant) != 0)
        throw Error("the database header (page 0) is damaged: its encoded area does not decode");
    if (get32(decoded + (kDatabaseKeyOffset - kEncodedStart)) != 0)
        throw Error("the database is encrypted; encrypted Jet databases are not supported");
}

}  // namespace jet::detail
