#include "catalogue/value_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace catalogue {

DateParts SplitOleDate(double oleDays) {
    DateParts parts;
    // Years 100 to 9999, as Jet accepts them.
    if (!std::isfinite(oleDays) || oleDays < -657434.0 || oleDays >= 2958466.0) return parts;
    double whole = std::trunc(oleDays);
    long seconds = std::lround(std::fabs(oleDays - whole) * 86400.0);
    long days = static_cast<long>(whole);
    if (seconds >= 86400) {  // rounded up to the next midnight
        seconds -= 86400;
        days += (oleDays < 0) ? -1 : 1;
    }
    using namespace std::chrono;
    const year_month_day date{sys_days{year{1899} / December / 30} + std::chrono::days{days}};
    parts.valid = true;
    parts.year = static_cast<int>(date.year());
    parts.month = static_cast<int>(static_cast<unsigned>(date.month()));
    parts.day = static_cast<int>(static_cast<unsigned>(date.day()));
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

namespace {

// Inserts a decimal point `scale` digits from the right of `digits`, padding with zeros.
std::string placePoint(std::string digits, int scale, bool negative, bool dropTrailingZeros) {
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.end() - scale, '.');
        if (dropTrailingZeros) {
            while (digits.back() == '0') digits.pop_back();
            if (digits.back() == '.') digits.pop_back();
        }
    }
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    if (negative && !zero) digits.insert(digits.begin(), '-');
    return digits;
}

}  // namespace

std::string NumericText(const jet::Numeric& value) {
    // The magnitude: four 32-bit words, most significant first, each stored little-endian.
    uint32_t words[4];
    for (int w = 0; w < 4; ++w) {
        const uint8_t* p = &value.magnitude[w * 4];
        words[w] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    std::string digits;
    for (;;) {  // repeated division by ten, least significant digit first
        uint64_t remainder = 0;
        bool nonZero = false;
        for (uint32_t& word : words) {
            uint64_t current = (remainder << 32) | word;
            word = static_cast<uint32_t>(current / 10);
            remainder = current % 10;
            nonZero = nonZero || word != 0;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
        if (!nonZero) break;
    }
    return placePoint(digits, value.scale, value.negative, false);
}

std::string CurrencyText(const jet::Currency& value) {
    int64_t amount = value.tenThousandths;
    bool negative = amount < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
    return placePoint(std::to_string(magnitude), 4, negative, true);
}

std::string GuidText(const jet::Guid& value) {
    const auto& b = value.bytes;
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string DoubleText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    char text[40];
    std::snprintf(text, sizeof text, "%.15G", value);
    return text;
}

std::u16string ValueText(const jet::Value& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return ""; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(int64_t n) const { return std::to_string(n); }
        std::string operator()(double d) const { return DoubleText(d); }
        std::string operator()(const std::u16string&) const { return ""; }  // handled below
        std::string operator()(const jet::Bytes&) const { return ""; }
        std::string operator()(const jet::Currency& c) const { return CurrencyText(c); }
        std::string operator()(const jet::DateTime& d) const {
            DateParts p = SplitOleDate(d.oleDays);
            if (!p.valid) return "";
            char text[48] = "";
            bool hasDate = std::trunc(d.oleDays) != 0;
            bool hasTime = p.hour || p.minute || p.second;
            if (hasDate || !hasTime) std::snprintf(text, sizeof text, "%d/%d/%d", p.year, p.month, p.day);
            if (hasTime) {
                size_t used = std::char_traits<char>::length(text);
                std::snprintf(text + used, sizeof text - used, "%s%d:%02d:%02d", used ? " " : "", p.hour, p.minute,
                              p.second);
            }
            return text;
        }
        std::string operator()(const jet::Guid& g) const { return GuidText(g); }
        std::string operator()(const jet::Numeric& n) const { return NumericText(n); }
    };
    if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
    std::string ascii = std::visit(Visitor{}, value);
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace catalogue
