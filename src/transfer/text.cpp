#include "transfer/text.h"

#include "jet/value.h"
#include "runtime/text_codec.h"

namespace transfer::text {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned char first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return out;
}

}  // namespace

const char* EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::kUtf8: return "UTF-8";
    case Encoding::kUtf8WithMark: return "UTF-8（带 BOM）";
    case Encoding::kUtf16LE: return "UTF-16LE";
    case Encoding::kUtf16BE: return "UTF-16BE";
    case Encoding::kGbk: return "GBK";
    }
    return "";
}

bool DecodeUtf8(std::string_view bytes, std::u16string& out) {
    std::u16string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        size_t extra;
        char32_t c, minimum;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char byte = static_cast<unsigned char>(bytes[i + k]);
            if (!IsContinuation(byte)) return false;
            c = (c << 6) | (byte & 0x3F);
        }
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        AppendCodePoint(text, c);
        i += extra + 1;
    }
    out = std::move(text);
    return true;
}

bool DecodeText(std::string_view bytes, std::u16string& out, Encoding& encoding, std::string& why) {
    auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    std::u16string text;
    if (startsWith("\xEF\xBB\xBF")) {
        encoding = Encoding::kUtf8WithMark;
        if (!DecodeUtf8(bytes.substr(3), text)) {
            why = "文件以 UTF-8 的 BOM 开头，内容却不是有效的 UTF-8";
            return false;
        }
    } else if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        encoding = bytes[0] == '\xFF' ? Encoding::kUtf16LE : Encoding::kUtf16BE;
        text = DecodeUtf16(bytes.substr(2), encoding == Encoding::kUtf16BE);
    } else {
        // Without a mark: UTF-16 shows in the zero halves of its ASCII characters (digits, separators, Latin
        // letters), which every server list has; look at the first few thousand bytes.
        size_t sample = bytes.size() < 4096 ? bytes.size() : 4096;
        size_t zeroEven = 0, zeroOdd = 0;
        for (size_t i = 0; i < sample; ++i) {
            if (bytes[i] == 0) ++(i % 2 ? zeroOdd : zeroEven);
        }
        size_t pairs = sample / 2;
        if (pairs > 0 && zeroOdd * 4 > pairs && zeroEven * 20 < pairs) {
            encoding = Encoding::kUtf16LE;
            text = DecodeUtf16(bytes, false);
        } else if (pairs > 0 && zeroEven * 4 > pairs && zeroOdd * 20 < pairs) {
            encoding = Encoding::kUtf16BE;
            text = DecodeUtf16(bytes, true);
        } else if (bytes.find('\0') != std::string_view::npos) {
            why = "不是文本文件（含有零字节）";
            return false;
        } else if (DecodeUtf8(bytes, text)) {
            encoding = Encoding::kUtf8;
        } else {
            text = runtime::GbkToUtf16(std::string(bytes));
            if (text.find(u'\uFFFD') != std::u16string::npos) {
                why = "无法识别文本的编码（不是 UTF-8、UTF-16 或 GBK）";
                return false;
            }
            encoding = Encoding::kGbk;
        }
    }
    if (text.find(u'\0') != std::u16string::npos) {
        why = "不是文本文件（含有零字符）";
        return false;
    }
    out = std::move(text);
    return true;
}

std::u16string Utf16LEUntilZero(const std::vector<std::uint8_t>& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == 0) break;
        text += c;
    }
    return text;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

std::u16string Trim(std::u16string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string AsciiLower(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

std::string Gbk(std::u16string_view text) { return runtime::Utf16ToGbk(std::u16string(text)); }

std::string GbkOfUtf8(std::string_view utf8) { return Gbk(jet::fromUtf8(std::string(utf8))); }

bool Ascii(std::u16string_view text, std::string& out) {
    std::string ascii;
    ascii.reserve(text.size());
    for (char16_t c : text) {
        if (c >= 0x80) return false;
        ascii += static_cast<char>(c);
    }
    out = std::move(ascii);
    return true;
}

void SplitHostPort(std::u16string& address, std::u16string& port) {
    size_t colon = address.rfind(u':');
    if (colon == std::u16string::npos) return;
    if (address.front() == u'[') {
        // "[v6]:port"
        if (colon == 0 || address[colon - 1] != u']') return;
        port = address.substr(colon + 1);
        address = address.substr(1, colon - 2);
        return;
    }
    if (address.find(u':') != colon) return;  // a bare IPv6 address
    port = address.substr(colon + 1);
    address.resize(colon);
}

}  // namespace transfer::text
