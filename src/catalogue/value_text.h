// Cell values as text: what ConfigDatabase::ReadText returns for each column type, and the pieces the
// database tool uses to print values.
#pragma once

#include <string>

#include "jet/value.h"

namespace catalogue {

// An OLE date (days since 1899-12-30, the fraction's magnitude being the time of day) split into its
// calendar parts, rounded to the second. `valid` is false for a value outside the years 100 to 9999 (or
// not a number), which Jet never stores.
struct DateParts {
    bool valid = false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
DateParts SplitOleDate(double oleDays);

// Exact decimal texts: "-12.5" for a Numeric of scale 1, "3.1416" for a Currency (trailing zeros of the
// fraction dropped, and the point too when none remain).
std::string NumericText(const jet::Numeric& value);
std::string CurrencyText(const jet::Currency& value);
// "{01234567-89AB-CDEF-0123-456789ABCDEF}" with the first three groups in the stored little-endian order.
std::string GuidText(const jet::Guid& value);
// A double in at most 15 significant digits without trailing zeros ("0.1", "1E+20" for large ones).
std::string DoubleText(double value);

// ReadText's conversion, the way the program's recordset turns a field into text: null -> "", text as it
// is, numbers in decimal, True/False, dates as "2026/12/1 12:00:00" (the date alone at midnight, the time
// alone on day 0), GUIDs in braces, binary and OLE values as the empty text.
std::u16string ValueText(const jet::Value& value);

}  // namespace catalogue
