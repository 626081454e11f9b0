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

// Names what the run is building while it lives ("loading 3000000 records").
// Should an error leave it (memory running out, above all), the name is
// kept for the report: the outermost one that an error left.
class Building {
public:
    explicit Building(std::string what);
    ~Building();
    Building(const Building&) = delete;
    Building& operator=(const Building&) = delete;

private:
    std::string what_;
    int errorsInFlight_;
};

// What the outermost Building left by an error named, or ""; forgets it.
std::string TakeBuildingWhenFailed();

} // namespace platform
