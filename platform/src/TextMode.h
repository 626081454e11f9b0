#pragma once

#include "platform/Form.h"

#include <cstdio>
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

// Prints every frame's caption with the lines of its list boxes under it, one
// empty line between frames, through a buffer of fixed size. If the form
// shows tips, then one empty line, the tips caption, and each line that has
// tips, list by list, followed by a tab and its tip. Returns false if the
// output could not be written.
bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption = {});

} // namespace platform
