// Little- and big-endian access to byte buffers, with bounds checks for untrusted data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "jet/error.h"

namespace jet {

inline uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get24(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
inline uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put24(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); }
inline void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
// Index keys and index page pointers are big-endian.
inline uint32_t get24be(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
inline uint32_t get32be(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void put24be(uint8_t* p, uint32_t v) { p[0] = uint8_t(v >> 16); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v); }
inline void put32be(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}

// A read-only window on untrusted bytes: every access is checked and a read past the end throws
// jet::Error naming `what` (for example "table definition of page 17").
class ByteView {
public:
    ByteView() = default;
    ByteView(const uint8_t* data, size_t size, std::string what = "data")
        : data_(data), size_(size), what_(std::move(what)) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    const std::string& what() const { return what_; }

    void need(size_t offset, size_t count) const {
        if (offset > size_ || count > size_ - offset)
            throw Error(what_ + " is damaged: a field at offset " + std::to_string(offset) + " runs past its end");
    }
    const uint8_t* at(size_t offset, size_t count) const { need(offset, count); return data_ + offset; }
    uint8_t u8(size_t offset) const { return *at(offset, 1); }
    uint16_t u16(size_t offset) const { return get16(at(offset, 2)); }
    uint32_t u24(size_t offset) const { return get24(at(offset, 3)); }
    uint32_t u32(size_t offset) const { return get32(at(offset, 4)); }
    ByteView sub(size_t offset, size_t count) const { return ByteView(at(offset, count), count, what_); }
    // The same name over other bytes: a scan moving from row to row names them without copying the name.
    void point(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
    }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    std::string what_;
};

}  // namespace jet
