// Dates and times as the program shows and reads them: the expiry time of a server is kept as text in the
// list and in the configuration database ("2025/7/3 14:05:09"), and compared as an OLE date.
#pragma once

#include <string>

#include "runtime/form_runtime.h"

namespace runtime {

// The OLE date of a calendar date and time: whole days since 1899-12-30 plus the time of day as a fraction
// of a day. Before 1899-12-30 the whole part is negative and the time of day still counts away from zero,
// as OLE keeps it: 1899-12-29 06:00 is -1.25 (not -0.75), 1899-12-28 12:00 is -2.5. The parts are taken as
// given (no check of the day against the month); a month outside 1..12 gives 0.
double OleDateFromDateTime(const DateTimeValue& value);

// Reads "yyyy/M/d", optionally followed by blanks and "H:mm" or "H:mm:ss" (24-hour clock; a 12-hour text
// without AM/PM reads the same way, so "2:05" is 02:05). "-" may separate the date's parts instead of "/",
// the same one twice. Blanks (space, tab) around the whole text are ignored. The year has four digits
// (0100..9999), month and day one or two, the hour one or two, minutes and seconds two. Anything else, or
// a date or time that does not exist (2025/2/30, 24:00), gives false and leaves `out` alone.
bool DateTimeFromText(const std::string& text, DateTimeValue& out);

// A server's expiry text as the moment it lapses: DateTimeFromText's forms, a date without a time of day
// meaning the end of that day (23:59:59), since the server runs all of its last day. What the server editor
// accepts and what the colours and the reminder read are this one rule.
bool ExpiryFromText(const std::string& text, DateTimeValue& out);

// "yyyy/M/d HH:mm:ss" on the 24-hour clock: 3 July 2025 14:05:09 -> "2025/7/3 14:05:09". What the program
// writes into the expiry box when a date is chosen; DateTimeFromText reads it back.
std::string ExpiryText(const DateTimeValue& value);

}  // namespace runtime
