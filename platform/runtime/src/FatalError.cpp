#include "platform/FatalError.h"

#include "platform/Checked.h"
#include "platform/Collection.h"

#include <exception>
#include <utility>

namespace platform {

void Raise(const std::string& message) {
    throw FatalError(message);
}

namespace {

std::string failedBuilding;

} // namespace

Building::Building(std::string what)
    : what_(std::move(what)), errorsInFlight_(std::uncaught_exceptions()) {}

Building::~Building() {
    if (std::uncaught_exceptions() > errorsInFlight_) {
        // Unwinding leaves the outermost scope last, and that one says best
        // what the run was doing. Moved, not copied: memory may be exhausted.
        failedBuilding = std::move(what_);
    }
}

std::string TakeBuildingWhenFailed() {
    return std::exchange(failedBuilding, std::string());
}

void RaiseOverflow(std::string_view operation, std::int64_t exact, std::string_view context) {
    std::string message;
    if (!context.empty()) {
        message.append(context).append(": ");
    }
    message += "signed 32-bit overflow in " + std::string(operation) + " (the result would be " +
               std::to_string(exact) + ")";
    Raise(message);
}

void RaiseBadIndex(std::int32_t index, std::int32_t count) {
    Raise("collection index " + std::to_string(index) + " is outside 1 to " +
          std::to_string(count));
}

void RaiseCollectionFull() {
    Raise("a collection cannot hold more than 2147483647 elements");
}

} // namespace platform
