// Numbers kept as text (in the configuration database, in controls) read back as integers.
#pragma once

#include <string>

namespace runtime {

// The integer that `text` starts with: optional blanks (space, tab, carriage return, line feed), an
// optional sign, then decimal digits, read up to the first character that is not a digit ("12abc" -> 12,
// " -7.9" -> -7). Empty or non-numeric text gives 0. A value beyond the int range gives the nearest limit.
int TextToInt(const std::string& text);

}  // namespace runtime
