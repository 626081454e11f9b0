#pragma once

// The start-up form and the report of a failure: what text mode and the
// window engines share.

#include "platform/Form.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

// Shows the message of an error that ended the run to the user, beside the
// report on standard error (a dialog in the window engines).
using FailureNotice = std::function<void(const std::string& message)>;

// The one place that catches: creates the start-up form, showing tips or
// not, and runs its load handler. On an error, writes "<program>: <message>"
// to standard error, hands the message to `notice` if there is one, and
// returns null.
std::unique_ptr<Form> LoadStartupForm(const ProjectDescription& project,
                                      const FailureNotice& notice, bool showsTips);

// Says on standard error that no window could be opened, and why.
void ReportNoWindow(const std::string& programName, const std::string& reason);

} // namespace platform
