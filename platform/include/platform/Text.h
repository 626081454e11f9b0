#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Plain decimal: no leading zeros, '-' for negatives, nothing else.
std::string ToDecimal(std::int32_t value);

// Formats with a digit pattern of zeros ("00000"): at least as many digits as
// the pattern has, more if the number needs them; a negative number keeps
// its sign in front of the padded digits.
std::string FormatNumber(std::int32_t value, std::string_view pattern);

// Appends the same texts to an existing buffer, for hot paths.
void AppendDecimal(std::string& out, std::int32_t value);
void AppendPadded(std::string& out, std::int32_t value, int minDigits);

// The same into a character buffer with room for at least 12 + minDigits
// characters; return the end of what was written.
char* WriteDecimal(char* out, std::int32_t value);
char* WritePadded(char* out, std::int32_t value, int minDigits);

} // namespace platform
