#include "runtime/date_time.h"

#include <cstdio>

namespace runtime {
namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 0001-01-01 (proleptic Gregorian calendar) to the given date. Month must be 1..12.
long DayNumber(int year, int month, int day) {
    static const int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    long before = year - 1L;
    long days = before * 365 + before / 4 - before / 100 + before / 400;
    days += kDaysBeforeMonth[month - 1];
    if (month > 2 && IsLeapYear(year)) ++days;
    return days + day - 1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads between `least` and `most` decimal digits at `pos` into `value`, moving `pos` past them.
bool ReadDigits(const std::string& text, size_t& pos, int least, int most, int& value) {
    int count = 0;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && count < most) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++count;
    }
    // A further digit means the field is too long ("2025/123/1").
    if (pos < text.size() && IsDigit(text[pos])) return false;
    return count >= least;
}

bool ReadChar(const std::string& text, size_t& pos, char wanted) {
    if (pos >= text.size() || text[pos] != wanted) return false;
    ++pos;
    return true;
}

}  // namespace

double OleDateFromDateTime(const DateTimeValue& value) {
    if (value.month < 1 || value.month > 12) return 0;
    static const long kOleEpoch = DayNumber(1899, 12, 30);
    long days = DayNumber(value.year, value.month, value.day) - kOleEpoch;
    double fraction = (value.hour * 3600.0 + value.minute * 60.0 + value.second) / 86400.0;
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

bool DateTimeFromText(const std::string& text, DateTimeValue& out) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    const std::string body = text.substr(begin, end - begin);

    DateTimeValue value;
    size_t pos = 0;
    if (!ReadDigits(body, pos, 4, 4, value.year)) return false;
    if (pos >= body.size() || (body[pos] != '/' && body[pos] != '-')) return false;
    const char separator = body[pos++];
    if (!ReadDigits(body, pos, 1, 2, value.month) || !ReadChar(body, pos, separator) ||
        !ReadDigits(body, pos, 1, 2, value.day)) {
        return false;
    }
    if (pos < body.size()) {
        // The time of day, after at least one blank.
        if (!IsBlank(body[pos])) return false;
        while (pos < body.size() && IsBlank(body[pos])) ++pos;
        if (!ReadDigits(body, pos, 1, 2, value.hour) || !ReadChar(body, pos, ':') ||
            !ReadDigits(body, pos, 2, 2, value.minute)) {
            return false;
        }
        if (pos < body.size() && (!ReadChar(body, pos, ':') || !ReadDigits(body, pos, 2, 2, value.second))) {
            return false;
        }
        if (pos != body.size()) return false;
    }
    if (value.year < 100 || value.month < 1 || value.month > 12 || value.day < 1 ||
        value.day > DaysInMonth(value.year, value.month)) {
        return false;
    }
    if (value.hour > 23 || value.minute > 59 || value.second > 59) return false;
    out = value;
    return true;
}

bool ExpiryFromText(const std::string& text, DateTimeValue& out) {
    DateTimeValue value;
    if (!DateTimeFromText(text, value)) return false;
    if (text.find(':') == std::string::npos) value.hour = 23, value.minute = 59, value.second = 59;
    out = value;
    return true;
}

std::string ExpiryText(const DateTimeValue& value) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%d/%d %02d:%02d:%02d", value.year, value.month, value.day, value.hour,
                  value.minute, value.second);
    return text;
}

}  // namespace runtime
