#pragma once

// Internal to the Qt engine: what the window run does so that its
// surroundings (a display that dies or never answers, another client that
// destroys the window, tight limits) end it with the program's own report or
// a clean close, never a signal, an abort or a hang.

#include <QWidget>
#include <string>

namespace platform {

// Before QApplication. With XDG_RUNTIME_DIR unset Qt makes a folder of its
// own in /tmp; pointing it at the user's existing private runtime folder, if
// there is one, keeps the run from writing anything.
// The home folder looked for there: HOME, else the password database's.
void UseExistingRuntimeDirectory();

// The user's home folder: HOME, or where HOME is unset or empty the one
// the password database names; "" if neither knows.
std::string HomeFolder();

// Before QApplication, after UseExistingRuntimeDirectory. Where no session
// bus is set, the D-Bus libraries would start one (dbus-launch, a
// dbus-daemon that outlives the run and writes under the home folder and
// /tmp); telling them there is none prevents that. A session bus that is
// set, or found in the runtime folder, is kept, and with it accessibility.
void UseNoSessionBusUnlessSet();

// Before QApplication. Qt's own warnings stay off standard error (a user
// cannot act on "XDG_RUNTIME_DIR not set") unless QT_LOGGING_RULES asks for
// them. A display connection that breaks, or a platform that cannot start
// (on which Qt would abort), ends the process with the program's report and
// status 1.
void InstallMessagePolicy(const std::string& programName);

// Before QApplication. The toolkit needs descriptors of its own for the
// display connection, its wake-up handles and its fonts, and GLib aborts
// when it cannot have them. Raises the soft limit if it can; false, with the
// reason in `failure`, when too few remain.
bool EnoughDescriptorsForWindow(std::string& failure);

// While it lives, a display that accepts the connection but never answers
// ends the process after `seconds` with the program's report and status 1:
// the connection is made inside QApplication's constructor, which would
// otherwise wait for ever.
class DisplayTimeout {
public:
    DisplayTimeout(const std::string& programName, unsigned seconds);
    ~DisplayTimeout();
    DisplayTimeout(const DisplayTimeout&) = delete;
    DisplayTimeout& operator=(const DisplayTimeout&) = delete;
};

// The message to report when Qt says that its display connection broke (X11
// or Wayland), or "" for any other message.
std::string LostDisplayReason(const std::string& qtMessage);

// Why no window could be opened, from Qt's last warning (its first line)
// and the first warning of its Wayland plugin, if it tried Wayland: a
// failed Wayland connection is named as such, also where Qt then fell back
// to X11 and failed there too.
std::string NoWindowReason(const std::string& lastWarning, const std::string& waylandWarning,
                           const char* waylandDisplay);

// After the window is created: caps its size at what its screen can show,
// so that a resize request from outside cannot make it ask for a frame
// buffer larger than any screen, and ends the event loop with status 0 when
// another X client destroys it, as if it had been closed.
void GuardWindow(QWidget& window);

} // namespace platform
