#pragma once

#include "platform/Form.h"

#include <cstdio>
#include <string>

namespace platform {

// The report line for an error that ends the run: "<program>: <message>".
std::string DescribeFailure(const ProjectDescription& project, const std::exception& error);

// Prints every frame's caption with the lines of its list boxes under it, one
// empty line between frames. Returns false if the output could not be
// written.
bool WriteFormAsText(const Form& form, std::FILE* out);

} // namespace platform
