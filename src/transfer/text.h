// Text helpers the readers share: decoding a file's bytes, UTF-16 trimming and comparison, numbers in
// messages. Internal to src/transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace transfer::text {

enum class Encoding { kUtf8, kUtf8WithMark, kUtf16LE, kUtf16BE, kGbk };
// "UTF-8", "UTF-8（带 BOM）", "UTF-16LE", "UTF-16BE", "GBK".
const char* EncodingName(Encoding encoding);

// A text file's bytes as UTF-16: by its byte-order mark; else UTF-16 when the zero bytes of ASCII characters
// show it (most even or most odd bytes zero); else UTF-8 when it is valid UTF-8; else GBK when it is valid
// GBK. False, with `why` (GBK), when it holds zero bytes that are not UTF-16, or is none of these.
bool DecodeText(std::string_view bytes, std::u16string& out, Encoding& encoding, std::string& why);
// Strict UTF-8 to UTF-16: false on any malformed, overlong or surrogate sequence.
bool DecodeUtf8(std::string_view bytes, std::u16string& out);
// UTF-16LE bytes up to the first zero character (an odd last byte ignored).
std::u16string Utf16LEUntilZero(const std::vector<std::uint8_t>& bytes);

// A blank: space, tab, or the full-width space U+3000.
bool IsBlank(char16_t c);
std::u16string Trim(std::u16string_view text);
// ASCII letters in lower case; everything else as it is.
std::u16string AsciiLower(std::u16string_view text);
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// For messages: UTF-16 or UTF-8 as GBK ('?' for what GBK cannot hold).
std::string Gbk(std::u16string_view text);
std::string GbkOfUtf8(std::string_view utf8);
// ASCII UTF-16 as a byte string; false when a character is not ASCII.
bool Ascii(std::u16string_view text, std::string& out);

// Splits "host:port" at its one colon (an address with more colons, IPv6, stays whole; "[v6]:port" is split
// after the bracket). The port is left alone when there is none.
void SplitHostPort(std::u16string& address, std::u16string& port);

}  // namespace transfer::text
