// GBK <-> UTF-16 and UTF-16 -> UTF-8 through iconv, for the native build and its tests.
//
// iconv stops at the first sequence it cannot convert; we then put the documented replacement in the output
// (U+FFFD when decoding GBK, '?' when encoding) and carry on after the offending input.
#include "runtime/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace runtime {
namespace {

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("text conversion from ") + from + " to " + to +
                                     " is not available");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of [in, in + inLeft) as it can into `out` (appending). Returns errno of the stop
    // (0 when all input was consumed) and advances `in` / `inLeft`.
    int convert(const char*& in, size_t& inLeft, std::string& out) {
        char buffer[1024];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            int error = (rc == static_cast<size_t>(-1)) ? errno : 0;
            in = inPtr;
            out.append(buffer, outPtr - buffer);
            if (error == E2BIG) continue;
            if (error != 0) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state after a stop
                return error;
            }
        }
        return 0;
    }

private:
    iconv_t cd_;
};

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string GbkToUtf16(const std::string& gbk) {
    std::u16string result;
    if (gbk.empty()) return result;
    Converter converter("UTF-16LE", "GBK");
    std::string bytes;  // UTF-16LE output
    const char* in = gbk.data();
    size_t inLeft = gbk.size();
    while (inLeft > 0) {
        int error = converter.convert(in, inLeft, bytes);
        if (error == 0) break;
        // Not GBK (EILSEQ) or cut short at the end (EINVAL): one replacement character per bad byte
        // sequence. A valid lead byte with an invalid trail byte loses only the lead byte, so that an
        // ASCII trail (a quote, a comma) survives.
        bytes.append("\xFD\xFF", 2);
        ++in;
        --inLeft;
    }
    result.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        result.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                               (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return result;
}

std::string Utf16ToGbk(const std::u16string& text) {
    std::string result;
    if (text.empty()) return result;
    Converter converter("GBK", "UTF-16LE");
    // Feed one run of well-formed UTF-16 at a time; a lone surrogate becomes '?' without reaching iconv.
    std::string bytes;
    size_t i = 0;
    while (i < text.size()) {
        bytes.clear();
        while (i < text.size()) {
            char16_t c = text[i];
            if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
                for (char16_t unit : {c, text[i + 1]}) {
                    bytes.push_back(static_cast<char>(unit & 0xFF));
                    bytes.push_back(static_cast<char>(unit >> 8));
                }
                i += 2;
                continue;
            }
            if (isHighSurrogate(c) || isLowSurrogate(c)) break;
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
            ++i;
        }
        const char* in = bytes.data();
        size_t inLeft = bytes.size();
        while (inLeft > 0) {
            int error = converter.convert(in, inLeft, result);
            if (error == 0) break;
            // A character GBK cannot hold: one '?' for it (a surrogate pair is one character).
            result.push_back('?');
            size_t unitBytes = 2;
            if (inLeft >= 2) {
                char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(in[0]) |
                                                      (static_cast<uint8_t>(in[1]) << 8));
                if (isHighSurrogate(unit) && inLeft >= 4) unitBytes = 4;
            }
            if (unitBytes > inLeft) unitBytes = inLeft;
            in += unitBytes;
            inLeft -= unitBytes;
        }
        if (i < text.size()) {  // the lone surrogate that ended the run
            result.push_back('?');
            ++i;
        }
    }
    return result;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    // Unpaired surrogates become U+FFFD before iconv sees the text, as the Windows conversion does.
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool paired = isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]);
        if (!paired && (isHighSurrogate(c) || isLowSurrogate(c))) c = u'\uFFFD';
        for (char16_t unit : paired ? std::u16string{c, text[++i]} : std::u16string{c}) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
    }
    std::string result;
    if (bytes.empty()) return result;
    Converter converter("UTF-8", "UTF-16LE");
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    converter.convert(in, inLeft, result);  // well-formed UTF-16 always converts
    return result;
}

}  // namespace runtime
