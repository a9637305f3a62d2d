// GBK <-> UTF-16 through the Windows code-page functions, always with code page 936 named explicitly (never
// the system's ANSI code page, which need not be Chinese).
//
// Decoding: MultiByteToWideChar with MB_ERR_INVALID_CHARS over the whole text; when that refuses the input,
// again one character at a time, each sequence that is not GBK becoming U+FFFD (so the result does not
// depend on the default character a given Windows version substitutes).
// Encoding: WideCharToMultiByte with '?' as the default character.
// UTF-8: WideCharToMultiByte with CP_UTF8, which writes U+FFFD for an unpaired surrogate.
#include "runtime/text_codec.h"

#include <windows.h>

#include <climits>
#include <cstdint>

namespace runtime {
namespace {

constexpr UINT kGbkCodePage = 936;

bool isLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Converts [data, data + size) strictly; false when it holds a sequence that is not GBK.
bool decodeStrict(const char* data, int size, std::u16string& out) {
    if (size == 0) return true;
    int needed = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    if (needed <= 0) return false;
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    int written = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, data, size,
                                      reinterpret_cast<wchar_t*>(&out[start]), needed);
    if (written <= 0) {
        out.resize(start);
        return false;
    }
    out.resize(start + static_cast<size_t>(written));
    return true;
}

// `text` in code page `codePage` (whose size fits an int), with `defaultChar` for what it cannot hold.
std::string encode(UINT codePage, const std::u16string& text, const char* defaultChar) {
    std::string result;
    if (text.empty()) return result;
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    int size = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(codePage, 0, wide, size, nullptr, 0, defaultChar, nullptr);
    if (needed <= 0) return result;
    result.resize(static_cast<size_t>(needed));
    int written = WideCharToMultiByte(codePage, 0, wide, size, result.data(), needed, defaultChar, nullptr);
    result.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return result;
}

}  // namespace

std::u16string GbkToUtf16(const std::string& gbk) {
    std::u16string result;
    if (gbk.empty() || gbk.size() > static_cast<size_t>(INT_MAX)) return result;
    if (decodeStrict(gbk.data(), static_cast<int>(gbk.size()), result)) return result;

    // Something in the input is not GBK: go one character (one byte, or a lead and a trail byte) at a time,
    // so that each bad sequence becomes one U+FFFD and the characters around it survive.
    result.clear();
    size_t i = 0;
    while (i < gbk.size()) {
        unsigned char b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            result.push_back(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        size_t length = (isLeadByte(b) && i + 1 < gbk.size()) ? 2 : 1;
        if (!decodeStrict(&gbk[i], static_cast<int>(length), result)) {
            // A lead byte whose trail is not valid loses only the lead byte, as the iconv version does, so
            // that an ASCII trail byte (a quote, a comma) survives.
            result.push_back(u'\uFFFD');
            length = 1;
        }
        i += length;
    }
    return result;
}

std::string Utf16ToGbk(const std::u16string& text) {
    std::string result;
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return result;
    // Code page 936 holds no character outside the Basic Multilingual Plane. Windows versions differ in
    // how many default characters they put for a surrogate pair, so each pair (and each lone surrogate)
    // becomes one '?' here, before the conversion.
    std::u16string bmp;
    bmp.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            c = u'?';
        }
        bmp.push_back(c);
    }
    // Code page 936 is a double-byte code page, so a default character is allowed here (it is not for UTF-8
    // or UTF-7). It is read as a zero-terminated string: a double-byte code page may take two bytes.
    return encode(kGbkCodePage, bmp, "?");
}

std::string Utf16ToUtf8(const std::u16string& text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) return {};
    return encode(CP_UTF8, text, nullptr);
}

}  // namespace runtime
