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

// kLapsed when the expiry text's date and time lie before `now`, kDueSoon when they lie within the 7 days
// after it (`now` itself included, 7 days exactly too), kNone otherwise and for any text that does not read
// as a date (DateTimeFromText) or lies before 1900.
ExpiryClass ClassifyExpiry(const std::string& expiry, const runtime::DateTimeValue& now);

inline constexpr std::int32_t kLapsedColour = 0x000000C8;   // red, RGB(200, 0, 0)
inline constexpr std::int32_t kDueSoonColour = 0x000070D2;  // dark orange, RGB(210, 112, 0)
std::int32_t ExpiryColour(ExpiryClass expiryClass);  // runtime::kListColour for kNone

struct ExpiryCounts {
    int lapsed = 0, dueSoon = 0;
};

// Gives every row of the server list the colour of its expiry class as of `now` (only rows whose colour
// changes are touched) and counts the classes.
ExpiryCounts ColourServerList(runtime::Form& mainWindow, const runtime::DateTimeValue& now);

inline constexpr char kReminderTitle[] = "服务器到期提醒";
// "N 台服务器已过期，M 台服务器将在 7 天内到期", a part whose count is 0 left out; "" when both are 0. Cut to the
// balloon's 255 bytes without splitting a character.
std::string ReminderText(const ExpiryCounts& counts);

// The reminder was clicked: the list sorted by expiry, oldest first, and the first lapsed or lapsing row
// selected and scrolled into view.
void ShowDueServers(runtime::Form& mainWindow, const runtime::DateTimeValue& now);

// Milliseconds from `now` to the next local midnight (at least 1).
std::int64_t MillisecondsToNextDay(const runtime::DateTimeValue& now);

}  // namespace app
