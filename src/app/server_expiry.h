// Servers' expiry dates (column "到期时间" of the server list, dqsj in table Server): a server whose date has
// passed is drawn in red, one that lapses within the next 7 days in dark orange; a reminder from the
// notification icon counts them, and clicking it shows them first in the list.
//
// The class of each row is worked out when rows are set and when the day turns, never while painting: the
// colour travels with the row (runtime::ListRow::textColour). "Now" always comes from the caller.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/form_runtime.h"

namespace app {

enum class ExpiryClass { kNone, kLapsed, kDueSoon };

// The moment an expiry text lapses (runtime::ExpiryFromText: a bare date is the end of that day) as an OLE
// date; NaN for a text that does not read as one or lies before 1900.
double ExpiryDate(const std::string& expiry);
// kLapsed when the expiry date lies before `now` (OLE dates), kDueSoon when it lies within the 7 days after it
// (`now` itself included, 7 days exactly too), kNone otherwise and for NaN.
ExpiryClass ClassifyExpiryDate(double expiry, double now);
// The same for an expiry text.
ExpiryClass ClassifyExpiry(const std::string& expiry, const runtime::DateTimeValue& now);

inline constexpr std::int32_t kLapsedColour = 0x000000C8;   // red, RGB(200, 0, 0)
inline constexpr std::int32_t kDueSoonColour = 0x000070D2;  // dark orange, RGB(210, 112, 0)
std::int32_t ExpiryColour(ExpiryClass expiryClass);  // runtime::kListColour for kNone

struct ExpiryCounts {
    int lapsed = 0, dueSoon = 0;
};


inline constexpr char kReminderTitle[] = "服务器到期提醒";
// "N 台服务器已过期，M 台服务器将在 7 天内到期", a part whose count is 0 left out; "" when both are 0. Cut to the
// balloon's 255 bytes without splitting a character.
std::string ReminderText(const ExpiryCounts& counts);


// Renewal. The date a renewal counts from: the expiry of `expiry` (ExpiryFromText), or, when that has passed
// at `now`, today at the expiry's time of day; false for a text that does not read as an expiry.
bool RenewalBase(const std::string& expiry, const runtime::DateTimeValue& now, runtime::DateTimeValue& base);
// `base` moved on by `months` calendar months, keeping the time of day; a day the month does not have becomes
// its last (31 January + 1 month = 28 or 29 February).
runtime::DateTimeValue AddMonths(const runtime::DateTimeValue& base, int months);
// The expiry text of a renewed date: in the program's form (ExpiryText), or the date alone when the old text
// was a date alone (its time of day the end of the day).
std::string RenewedExpiryText(const std::string& oldExpiry, const runtime::DateTimeValue& renewed);

// Milliseconds from `now` to the next local midnight (at least 1).
std::int64_t MillisecondsToNextDay(const runtime::DateTimeValue& now);

}  // namespace app
