// Windows hands main() its arguments in the ANSI code page, which cannot hold every path (a folder named in
// characters outside it): they are taken from the wide command line instead.
#include "command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "jet/value.h"

std::vector<std::string> Utf8Arguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) {
        std::wstring argument = wide[i];
        arguments.push_back(jet::toUtf8(std::u16string(argument.begin(), argument.end())));
    }
    LocalFree(wide);
    return arguments;
}
