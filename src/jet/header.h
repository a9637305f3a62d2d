// Page 0 of a Jet 4 file: recognising what a file is before the engine trusts it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::detail {

// Throws jet::Error saying what the file is when `data` is not an unencrypted Jet 4 database: not a
// database at all, Jet 3, ACE (.accdb), truncated, or encrypted.
void checkHeader(const uint8_t* data, size_t size);

// RC4 over `data` in place (the same call encodes and decodes).
void rc4(const uint8_t* key, size_t keySize, uint8_t* data, size_t size);

}  // namespace jet::detail
