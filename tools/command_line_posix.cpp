// Linux passes arguments as the bytes the shell gave, UTF-8 under any UTF-8 locale.
#include "command_line.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }
