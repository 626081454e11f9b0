#include "platform/Text.h"

namespace platform {

void AppendDecimal(std::string& out, std::int32_t value) {
    char digits[12];
    out.append(digits, WriteDecimal(digits, value));
}

} // namespace platform
