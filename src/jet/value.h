// A cell value as the engine reads and writes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Currency { int64_t tenThousandths = 0; bool operator==(const Currency&) const = default; };
struct DateTime { double oleDays = 0; bool operator==(const DateTime&) const = default; };  // OLE date
struct Guid { std::array<uint8_t, 16> bytes{}; bool operator==(const Guid&) const = default; };
// Jet 4 Numeric: precision, scale, sign and a 16-byte magnitude as stored.
struct Numeric {
    uint8_t precision = 18, scale = 0;
    bool negative = false;
    std::array<uint8_t, 16> magnitude{};  // as stored in the row (four little-endian 32-bit words, most significant first)
    bool operator==(const Numeric&) const = default;
};
using Bytes = std::vector<uint8_t>;

// Null is std::monostate. Text and Memo hold UTF-16 (the file stores UCS-2).
// Boolean holds bool; Byte, Integer and Long hold int64_t; Single and Double hold double;
// Binary and OLE hold Bytes.
using Value = std::variant<std::monostate, bool, int64_t, double, std::u16string, Bytes, Currency, DateTime, Guid, Numeric>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// UTF-8 <-> UTF-16 for tools, tests and messages. Invalid input becomes U+FFFD.
std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);

}  // namespace jet
