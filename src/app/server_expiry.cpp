#include "app/server_expiry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/date_time.h"
#include "tray/tray_texts.h"

namespace app {
namespace {

constexpr double kDueDays = 7.0;
constexpr double kSecond = 1.0 / 86400.0;

}  // namespace

double ExpiryDate(const std::string& expiry) {
    runtime::DateTimeValue date;
    if (!runtime::ExpiryFromText(expiry, date) || date.year < 1900) return std::numeric_limits<double>::quiet_NaN();
    return runtime::OleDateFromDateTime(date);
}

ExpiryClass ClassifyExpiryDate(double when, double now) {
    if (std::isnan(when)) return ExpiryClass::kNone;
    if (when < now - kSecond / 2) return ExpiryClass::kLapsed;
    if (when <= now + kDueDays + kSecond / 2) return ExpiryClass::kDueSoon;
    return ExpiryClass::kNone;
}

ExpiryClass ClassifyExpiry(const std::string& expiry, const runtime::DateTimeValue& now) {
    return ClassifyExpiryDate(ExpiryDate(expiry), runtime::OleDateFromDateTime(now));
}

std::int32_t ExpiryColour(ExpiryClass expiryClass) {
    switch (expiryClass) {
    case ExpiryClass::kLapsed: return kLapsedColour;
    case ExpiryClass::kDueSoon: return kDueSoonColour;
    case ExpiryClass::kNone: break;
    }
    return runtime::kListColour;
}

std::string ReminderText(const ExpiryCounts& counts) {
    std::string text;
    if (counts.lapsed > 0) text = std::to_string(counts.lapsed) + " 台服务器已过期";
    if (counts.dueSoon > 0) {
        text += (text.empty() ? "" : "，") + std::to_string(counts.dueSoon) + " 台服务器将在 7 天内到期";
    }
    return tray::CutGbk(text, tray::kBalloonTextBytes);
}

bool RenewalBase(const std::string& expiry, const runtime::DateTimeValue& now, runtime::DateTimeValue& base) {
    runtime::DateTimeValue date;
    if (!runtime::ExpiryFromText(expiry, date)) return false;
    if (runtime::OleDateFromDateTime(date) < runtime::OleDateFromDateTime(now)) {
        date.year = now.year;
        date.month = now.month;
        date.day = now.day;
    }
    base = date;
    return true;
}

runtime::DateTimeValue AddMonths(const runtime::DateTimeValue& base, int months) {
    runtime::DateTimeValue result = base;
    const int total = base.year * 12 + (base.month - 1) + months;
    result.year = total / 12;
    result.month = total % 12 + 1;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (result.year % 4 == 0 && result.year % 100 != 0) || result.year % 400 == 0;
    const int days = result.month == 2 && leap ? 29 : kDays[result.month - 1];
    result.day = std::min(base.day, days);
    return result;
}

std::string RenewedExpiryText(const std::string& oldExpiry, const runtime::DateTimeValue& renewed) {
    if (oldExpiry.find(':') != std::string::npos) return runtime::ExpiryText(renewed);
    return std::to_string(renewed.year) + "/" + std::to_string(renewed.month) + "/" + std::to_string(renewed.day);
}

std::int64_t MillisecondsToNextDay(const runtime::DateTimeValue& now) {
    const std::int64_t passed = (static_cast<std::int64_t>(now.hour) * 60 + now.minute) * 60 + now.second;
    return std::max<std::int64_t>(1, (86400 - passed) * 1000);
}

}  // namespace app
