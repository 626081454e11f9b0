#pragma once

#include "platform/Form.h"

#include <cstdio>
#include <string_view>

namespace platform {

// Prints every frame's caption with the lines of its list boxes under it, one
// empty line between frames, through a buffer of fixed size. If the form
// shows tips, then one empty line, the tips caption, and each line that has
// tips, list by list, followed by a tab and its tip. Returns false if the
// output could not be written.
bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption = {});

} // namespace platform
