// The database tool's command-line arguments as UTF-8, whatever the system's code page.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's name.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
