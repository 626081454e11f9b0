#include "platform/Concurrent.h"

#include <future>
#include <optional>
#include <system_error>

namespace platform {

namespace {

std::optional<std::future<void>> TryLaunch(const std::function<void()>& side) {
    try {
        return std::async(std::launch::async, side);
    } catch (const std::system_error&) {
        // Out of threads (a process limit, say): the work just runs in turn.
        return std::nullopt;
    }
}

} // namespace

void RunAlongside(bool worthIt, const std::function<void()>& main,
                  const std::function<void()>& side) {
    std::optional<std::future<void>> sideRun = worthIt ? TryLaunch(side) : std::nullopt;
    // Should main fail, the future's destructor still waits for side.
    main();
    if (sideRun) {
        sideRun->get();
    } else {
        side();
    }
}

} // namespace platform
