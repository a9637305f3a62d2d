// Conversion between the program's GBK (code page 936) texts and UTF-16, and from UTF-16 to UTF-8 (the form
// in which file paths reach the database engine).
#pragma once

#include <string>
#include <utility>

namespace runtime {

// GBK bytes to UTF-16. A byte sequence that is not GBK becomes U+FFFD.
std::u16string GbkToUtf16(const std::string& gbk);
// UTF-16 to GBK bytes. A character GBK cannot hold becomes '?'.
std::string Utf16ToGbk(const std::u16string& text);
// UTF-16 to GBK bytes only when GBK holds every character exactly (no '?', no look-alike such as "a" for
// "ä"): false, and `out` left alone, when it does not. What the person typed is kept or refused, never changed.
inline bool Utf16ToGbkExact(const std::u16string& text, std::string& out) {
    std::string gbk = Utf16ToGbk(text);
    if (GbkToUtf16(gbk) != text) return false;
    out = std::move(gbk);
    return true;
}
// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
// GBK bytes as a wide string, for the system's W functions (UTF-16 on Windows).
inline std::wstring GbkToWide(const std::string& gbk) {
    const std::u16string text = GbkToUtf16(gbk);
    return std::wstring(text.begin(), text.end());
}

}  // namespace runtime
