#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace glimmerset {

// The one way the board's words write a number in hex: "0x3F", "0x08FF",
// upper-case digits, at least digits of them.
inline std::string hexText(std::uint32_t value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

} // namespace glimmerset
