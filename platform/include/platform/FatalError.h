#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// The one error the runtime raises. Nothing in the program catches it; the
// start routine reports it and ends the process with status 1.
class FatalError : public std::runtime_error {
public:
    explicit FatalError(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void Raise(const std::string& message);

} // namespace platform
