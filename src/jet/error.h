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

}  // namespace jet
