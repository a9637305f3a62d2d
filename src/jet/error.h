// Errors raised by the storage engine.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

// Every failure of the engine (a damaged or foreign file, a refused write, a bad statement, an I/O error)
// is a jet::Error whose message says what went wrong, in English, in one line.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The database file is open for changes somewhere else (another process, or another open in this one):
// raised before anything of the file or its journal has been touched.
class InUseError : public Error {
public:
    explicit InUseError(const std::string& path)
        : Error(path + " is in use: another program has it open for changes") {}
};

}  // namespace jet
