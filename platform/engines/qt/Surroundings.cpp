#include "Surroundings.h"

#include "WindowEngine.h"
#include "platform/Text.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageLogContext>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace platform {

namespace {

// A directory of this user's that only this user may use, as Qt demands of
// a runtime folder.
bool IsPrivateDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & 07777) == 0700;
}

// Descriptors that the toolkit opens on its own: the display connection,
// the wake-up handles of its event loops, font and configuration files
// while it starts. A window run was seen to need 8 beside the standard
// streams; the rest is margin for fonts opened later.
constexpr int DescriptorsForWindow = 12;

// How many descriptors below `limit` are free, counting no further than
// `enough`.
int FreeDescriptors(rlim_t limit, int enough) {
    int free = 0;
    for (rlim_t fd = 0; fd < limit && free < enough; ++fd) {
        if (fcntl(static_cast<int>(fd), F_GETFD) == -1 && errno == EBADF) {
            ++free;
        }
    }
    return free;
}

// Set before the alarm is armed, read by its handler: only what a signal
// handler may touch.
char timeoutReport[512];
std::size_t timeoutReportLength = 0;

extern "C" void ReportDisplayTimeout(int) {
    // Nothing else is safe here: write the report made beforehand and end.
    [[maybe_unused]] const ssize_t written =
        write(STDERR_FILENO, timeoutReport, timeoutReportLength);
    _exit(1);
}

// What Qt's Wayland plugin said when it could not connect, with the
// display it tried.
std::string WaylandReason(const std::string& warning, const char* display) {
    const std::string name = display != nullptr && *display != '\0' ? display : "wayland-0";
    return "the Wayland display " + name + ": " + warning.substr(0, warning.find('\n'));
}

// The reasons that xcb gives for a broken connection, by its error code.
std::string ConnectionError(int code) {
    switch (code) {
    case XCB_CONN_ERROR:
        return "the X server closed the connection or is gone";
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
        return "the X server lacks an extension the window needs";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
        return "out of memory";
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
        return "a request was too long for the X server";
    case XCB_CONN_CLOSED_FDPASSING_FAILED:
        return "passing a file descriptor to the X server failed";
    default:
        return "xcb error " + std::to_string(code);
    }
}

// Watches the X events of one top-level window: another client destroying
// it, and sizes larger than its maximum, which X accepts from any client
// when no window manager enforces the window's hints.
class WindowEventFilter : public QAbstractNativeEventFilter {
public:
    explicit WindowEventFilter(QWidget& window) : window_(&window) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (window_.isNull() || eventType != "xcb_generic_event_t") {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const auto id = static_cast<xcb_window_t>(window_->winId());
        switch (event->response_type & 0x7F) {
        case XCB_DESTROY_NOTIFY:
            if (reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == id) {
                QCoreApplication::exit(0);
                return true;
            }
            break;
        case XCB_CONFIGURE_NOTIFY: {
            auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            if (configure->window == id) {
                ClampToMaximum(*configure);
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    // Qt sees the window at its largest allowed size, and the X window is
    // asked to shrink back to it.
    void ClampToMaximum(xcb_configure_notify_event_t& configure) {
        const QSize most = window_->maximumSize();
        if (configure.width <= most.width() && configure.height <= most.height()) {
            return;
        }
        configure.width = static_cast<std::uint16_t>(std::min<int>(configure.width, most.width()));
        configure.height =
            static_cast<std::uint16_t>(std::min<int>(configure.height, most.height()));
        const QSize clamped(configure.width, configure.height);
        QPointer<QWidget> window = window_;
        QTimer::singleShot(0, window, [window, clamped] {
            if (window) {
                window->windowHandle()->resize(clamped);
            }
        });
    }

    QPointer<QWidget> window_;
};

// The largest client area the window's screen can show, never below the
// window's smallest size.
QSize LargestShownSize(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return window.maximumSize();
    }
    return screen->availableGeometry().size().expandedTo(window.minimumSize());
}

// Qt's own messages. Its warnings stay off standard error (a user cannot act
// on "XDG_RUNTIME_DIR not set"), unless QT_LOGGING_RULES asks for them. A
// platform that cannot start is a fatal message on which Qt would abort:
// that becomes the program's report and status 1, the last warning (which
// says what failed) as the reason.
class QtMessages {
public:
    static void Install(const std::string& programName) {
        ProgramName() = programName;
        PassThrough() = std::getenv("QT_LOGGING_RULES") != nullptr;
        Previous() = qInstallMessageHandler(Handle);
    }

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (PassThrough() && Previous() != nullptr) {
            Previous()(type, context, text);
        }
        const std::string message = text.toStdString();
        if (const std::string lost = LostDisplayReason(message); !lost.empty()) {
            // Qt would end with status 1 and no word of why.
            std::fprintf(stderr, "%s: lost the connection to the display: %s\n",
                         ProgramName().c_str(), lost.c_str());
            std::_Exit(1);
        }
        if (type != QtFatalMsg) {
            if (type == QtWarningMsg || type == QtCriticalMsg) {
                const std::lock_guard lock(Mutex());
                LastWarning() = message;
                // Kept, since Qt may go on to try X11, whose failure comes last.
                if (WaylandWarning().empty() && IsAboutWayland(message)) {
                    WaylandWarning() = message;
                }
            }
            return;
        }
        std::string reason;
        {
            const std::lock_guard lock(Mutex());
            reason = NoWindowReason(LastWarning().empty() ? message : LastWarning(),
                                    WaylandWarning(), std::getenv("WAYLAND_DISPLAY"));
        }
        std::fputs(NoWindowReport(ProgramName(), EscapeText(reason)).c_str(), stderr);
        std::_Exit(1);
    }

    // Function-local statics: set once before QApplication, read by Qt.
    static std::string& ProgramName() {
        static std::string name;
        return name;
    }
    static bool& PassThrough() {
        static bool passThrough = false;
        return passThrough;
    }
    static QtMessageHandler& Previous() {
        static QtMessageHandler previous = nullptr;
        return previous;
    }
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::string& LastWarning() {
        static std::string warning;
        return warning;
    }
    static std::string& WaylandWarning() {
        static std::string warning;
        return warning;
    }
    // The Wayland plugin's own words on a connection that failed, or Qt's
    // when it has no such plugin.
    static bool IsAboutWayland(const std::string& message) {
        return message.find("wl_display") != std::string::npos ||
               message.find("Wayland") != std::string::npos ||
               message.find("\"wayland\"") != std::string::npos;
    }
};

} // namespace

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    // Without HOME (env -i, some service managers), the password database
    // still knows it.
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

void InstallMessagePolicy(const std::string& programName) {
    QtMessages::Install(programName);
}

void UseExistingRuntimeDirectory() {
    const char* current = std::getenv("XDG_RUNTIME_DIR");
    if (current != nullptr && *current != '\0') {
        return;
    }
    const std::string perUser = "/run/user/" + std::to_string(geteuid());
    for (const std::string& candidate : {perUser, HomeFolder()}) {
        if (IsPrivateDirectory(candidate)) {
            setenv("XDG_RUNTIME_DIR", candidate.c_str(), 1);
            return;
        }
    }
}

void UseNoSessionBusUnlessSet() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return;
    }
    // libdbus also finds a bus at $XDG_RUNTIME_DIR/bus without being told.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime != '\0') {
        struct stat info {};
        const std::string bus = std::string(runtime) + "/bus";
        if (stat(bus.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            return;
        }
    }
    // Set, libdbus and GDBus take the address as it is and never start a
    // bus of their own; a transport that neither knows fails at once.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

bool EnoughDescriptorsForWindow(std::string& failure) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return true;
    }
    if (FreeDescriptors(limit.rlim_cur, DescriptorsForWindow) < DescriptorsForWindow &&
        limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    const int free = FreeDescriptors(limit.rlim_cur, DescriptorsForWindow);
    if (free >= DescriptorsForWindow) {
        return true;
    }
    failure = "too many open files: a window needs " + std::to_string(DescriptorsForWindow) +
              " free file descriptors, and the limit of " + std::to_string(limit.rlim_cur) +
              " leaves " + std::to_string(free);
    return false;
}

DisplayTimeout::DisplayTimeout(const std::string& programName, unsigned seconds) {
    const char* display = std::getenv("DISPLAY");
    const std::string report =
        NoWindowReport(programName, "the display " + EscapeText(display != nullptr ? display : "") +
                                        " did not answer within " + std::to_string(seconds) + " s");
    timeoutReportLength = std::min(report.size(), sizeof timeoutReport);
    std::memcpy(timeoutReport, report.data(), timeoutReportLength);
    struct sigaction action {};
    action.sa_handler = ReportDisplayTimeout;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(seconds);
}

DisplayTimeout::~DisplayTimeout() {
    alarm(0);
    signal(SIGALRM, SIG_DFL);
}

std::string LostDisplayReason(const std::string& qtMessage) {
    // Qt's words when xcb or Wayland reports the connection broken; it then
    // exits with status 1 and, its warnings being off, no word of why.
    constexpr std::string_view X11Broke = "The X11 connection broke (error ";
    constexpr std::string_view WaylandBroke = "The Wayland connection broke.";
    constexpr std::string_view WaylandFailed = "The Wayland connection experienced a fatal error: ";
    if (qtMessage.starts_with(X11Broke)) {
        return ConnectionError(std::atoi(qtMessage.c_str() + X11Broke.size()));
    }
    if (qtMessage.starts_with(WaylandBroke)) {
        return "the Wayland compositor closed the connection or is gone";
    }
    if (qtMessage.starts_with(WaylandFailed)) {
        return "the Wayland connection failed: " + qtMessage.substr(WaylandFailed.size());
    }
    return {};
}

std::string NoWindowReason(const std::string& lastWarning, const std::string& waylandWarning,
                           const char* waylandDisplay) {
    std::string reason = lastWarning.substr(0, lastWarning.find('\n'));
    if (waylandWarning.empty() || reason.find("Wayland") != std::string::npos ||
        reason.find("wl_display") != std::string::npos) {
        return waylandWarning.empty() ? reason : WaylandReason(waylandWarning, waylandDisplay);
    }
    // Qt tried Wayland first and then fell back to X11: both failed.
    return WaylandReason(waylandWarning, waylandDisplay) + ", and then X11: " + reason;
}

void GuardWindow(QWidget& window) {
    window.setMaximumSize(LargestShownSize(window));
    if (QWindow* handle = window.windowHandle()) {
        QObject::connect(handle, &QWindow::screenChanged, &window,
                         [&window] { window.setMaximumSize(LargestShownSize(window)); });
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Owned by the window: it goes when the window does.
        auto* filter = new WindowEventFilter(window);
        QCoreApplication::instance()->installNativeEventFilter(filter);
        QObject::connect(&window, &QObject::destroyed, [filter] {
            QCoreApplication::instance()->removeNativeEventFilter(filter);
            delete filter;
        });
    }
}

} // namespace platform
