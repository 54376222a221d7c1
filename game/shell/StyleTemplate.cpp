#include "game/shell/StyleTemplate.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Skips up to two digits; false when a third follows.
bool SkipDigits(std::string_view format, size_t& at) {
    size_t count = 0;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') {
        ++at;
        ++count;
    }
    return count <= 2;
}

} // namespace

bool IsNameTemplate(std::string_view format) {
    int conversions = 0;
    for (size_t at = 0; at < format.size(); ++at) {
        if (format[at] == '\0') {
            return false;
        }
        if (format[at] != '%') {
            continue;
        }
        ++at;
        if (at < format.size() && format[at] == '%') {
            continue;
        }
        while (at < format.size() && std::strchr("-+ #0", format[at]) != nullptr) {
            ++at;
        }
        if (!SkipDigits(format, at)) {
            return false;
        }
        if (at < format.size() && format[at] == '.') {
            ++at;
            if (!SkipDigits(format, at)) {
                return false;
            }
        }
        if (at >= format.size() || std::strchr("diouxX", format[at]) == nullptr) {
            return false;
        }
        ++conversions;
    }
    return conversions == 1;
}

str FormatNameTemplate(std::string_view format, int number) {
    if (!IsNameTemplate(format)) {
        return str();
    }
    const std::string pattern(format);
    // Widths and precisions below 100 keep the name short.
    char buffer[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    // The one conversion was checked above.
    const int length = std::snprintf(buffer, sizeof buffer, pattern.c_str(), number);
#pragma GCC diagnostic pop
    if (length < 0) {
        return str();
    }
    const size_t size = static_cast<size_t>(length) < sizeof buffer ? static_cast<size_t>(length)
                                                                    : sizeof buffer - 1;
    return str(buffer, static_cast<int>(size));
}
