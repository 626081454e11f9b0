#include "platform/SideBySide.h"

#include <future>
#include <pthread.h>

namespace platform {

namespace {

void* RunTask(void* task) {
    (*static_cast<std::packaged_task<void()>*>(task))();
    return nullptr;
}

// Waits for the second thread however `here` ends: the task it runs lives
// on this thread's stack.
class Joined {
public:
    explicit Joined(pthread_t thread) : thread_(thread) {}
    ~Joined() { pthread_join(thread_, nullptr); }
    Joined(const Joined&) = delete;
    Joined& operator=(const Joined&) = delete;

private:
    pthread_t thread_;
};

} // namespace

void RunSideBySide(const std::function<void()>& here, const std::function<void()>& besides) {
    // The task keeps what `besides` raises until the future hands it over
    // here. pthread_create reports a thread it can't start by its result,
    // where std::thread would throw past the fallback.
    std::packaged_task<void()> task(std::ref(besides));
    std::future<void> finished = task.get_future();
    pthread_t thread{};
    if (pthread_create(&thread, nullptr, RunTask, &task) == 0) {
        const Joined joined(thread);
        here();
    } else {
        here();
        task();
    }
    finished.get();
}

} // namespace platform
