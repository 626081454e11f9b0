#include "platform/Text.h"

namespace platform {

void AppendDecimal(std::string& out, std::int32_t value) {
    char digits[12];
    out.append(digits, WriteDecimal(digits, value));
}

void AppendHexEscape(std::string& out, unsigned char byte) {
    static const char hex[] = "0123456789ABCDEF";
    out += "\\x";
    out.push_back(hex[byte >> 4]);
    out.push_back(hex[byte & 15]);
}

namespace {

// The length of the well-formed UTF-8 sequence at text[at], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

bool IsHiddenControl(char32_t code) {
    const bool c1 = code >= 0x80 && code <= 0x9F;
    const bool bidi = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) ||
                      code == 0x200E || code == 0x200F || code == 0x061C;
    const bool lineBreak = code == 0x2028 || code == 0x2029;
    return c1 || bidi || lineBreak;
}

// Escapes as EscapeText does. Without allBackslashes only a backslash before
// an 'x' is escaped: enough for \xNN to be unambiguous, and Windows paths
// stay readable.
std::string Escape(std::string_view text, bool allBackslashes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            const bool escapedBackslash =
                c == '\\' && (allBackslashes || text.substr(at + 1, 1) == "x");
            if (c < 0x20 || c == 0x7F || escapedBackslash) {
                AppendHexEscape(out, c);
            } else {
                out.push_back(static_cast<char>(c));
            }
            ++at;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = Utf8Length(text, at, code);
        if (length == 0) {
            AppendHexEscape(out, c);
            ++at;
            continue;
        }
        if (IsHiddenControl(code)) {
            for (std::size_t k = 0; k < length; ++k) {
                AppendHexEscape(out, static_cast<unsigned char>(text[at + k]));
            }
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

} // namespace

std::string EscapeText(std::string_view text) {
    return Escape(text, true);
}

std::string ShownName(std::string_view name) {
    const bool needsQuotes = name.empty() || name.find('"') != std::string_view::npos ||
                             name.front() == ' ' || name.back() == ' ';
    std::string escaped = Escape(name, false);
    if (!needsQuotes) {
        return escaped;
    }
    std::string quoted = "\"";
    for (const char c : escaped) {
        if (c == '"') {
            quoted += "\\\"";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + '"';
}

} // namespace platform
