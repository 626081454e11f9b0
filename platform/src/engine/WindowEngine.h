#pragma once

#include "platform/Form.h"

namespace platform {

// Realised once per platform (Qt on Linux, Win32 on Windows). Creates the
// form, runs its load handler, shows it and runs until it is closed; on a
// fatal error shows a dialog instead and never shows the form. Returns the
// exit status. On Linux this loads the Qt engine, a module of its own, so
// that text mode never loads Qt.
int RunFormWindow(const ProjectDescription& project, int argc, char** argv);

} // namespace platform
