#include "game/shell/LuaPrintf.h"

#include "engine/script/lua/luanumber.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Keeps one conversion from asking for gigabytes.
constexpr int kMaxField = 4096;

enum class GPrintfLength { kDefault, kChar, kShort, kLong64 };

// One conversion as written in the format, with '*' not yet resolved.
struct GPrintfDirective {
    std::string flags;
    bool widthFromValue = false;
    int width = -1;
    bool precisionFromValue = false;
    int precision = -1;
    GPrintfLength length = GPrintfLength::kDefault;
    char conversion = 0;
};

class GPrintfCursor {
public:
    explicit GPrintfCursor(const std::vector<GPrintfValue>& values) : mValues(values) {}
    // The next value, or null when they ran out.
    const GPrintfValue* Take() { return mNext < mValues.size() ? &mValues[mNext++] : nullptr; }

private:
    const std::vector<GPrintfValue>& mValues;
    size_t mNext = 0;
};

double NumberOf(const GPrintfValue& value) {
    return value.isNumber ? value.number : 0.0;
}

int ClampField(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, kMaxField));
}

// Digits at `at`, held to kMaxField; moves `at` past them.
int ReadDigits(std::string_view format, size_t& at) {
    int64_t value = 0;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') {
        value = std::min<int64_t>(value * 10 + (format[at] - '0'), kMaxField);
        ++at;
    }
    return static_cast<int>(value);
}

GPrintfLength ReadLength(std::string_view format, size_t& at) {
    auto next = [&](std::string_view text) {
        if (format.substr(at, text.size()) == text) {
            at += text.size();
            return true;
        }
        return false;
    };
    if (next("hh")) {
        return GPrintfLength::kChar;
    }
    if (next("h")) {
        return GPrintfLength::kShort;
    }
    // The system's long is 32 bits wide; only these ask for 64.
    if (next("ll") || next("j") || next("I64") || next("q")) {
        return GPrintfLength::kLong64;
    }
    if (next("l") || next("L") || next("z") || next("t") || next("I32") || next("I")) {
        return GPrintfLength::kDefault;
    }
    return GPrintfLength::kDefault;
}

// Only the flags that the conversion defines: printf leaves the others undefined.
std::string KeepFlags(const std::string& flags, const char* allowed) {
    std::string kept;
    for (char flag : flags) {
        if (std::strchr(allowed, flag) != nullptr) {
            kept += flag;
        }
    }
    return kept;
}

std::string Conversion(const std::string& flags, int width, int precision, const char* tail) {
    std::string conversion = "%" + flags;
    if (width >= 0) {
        conversion += std::to_string(width);
    }
    if (precision >= 0) {
        conversion += "." + std::to_string(precision);
    }
    return conversion + tail;
}

template <class T>
void AppendFormatted(std::string& out, const std::string& conversion, T value) {
    char small[128];
    const int length = std::snprintf(small, sizeof small, conversion.c_str(), value);
    if (length < 0) {
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        out.append(small, static_cast<size_t>(length));
        return;
    }
    std::string large(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(large.data(), large.size(), conversion.c_str(), value);
    out.append(large.data(), static_cast<size_t>(length));
}

void AppendPadded(std::string& out, std::string_view text, int width, bool left) {
    const size_t padding =
        width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
    if (!left) {
        out.append(padding, ' ');
    }
    out.append(text);
    if (left) {
        out.append(padding, ' ');
    }
}

void AppendConversion(std::string& out, const GPrintfDirective& directive,
                      const GPrintfValue& value, int width, int precision,
                      const std::string& flags) {
    const double number = NumberOf(value);
    switch (directive.conversion) {
    case 'd':
    case 'i': {
        int64_t integer = directive.length == GPrintfLength::kLong64 ? LuaNumberToInt64(number)
                                                                     : LuaNumberToInt(number);
        if (directive.length == GPrintfLength::kShort) {
            integer = static_cast<int16_t>(integer);
        } else if (directive.length == GPrintfLength::kChar) {
            integer = static_cast<int8_t>(integer);
        }
        AppendFormatted(out, Conversion(KeepFlags(flags, "-+ 0"), width, precision, "lld"),
                        static_cast<long long>(integer));
        return;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X': {
        uint64_t integer = directive.length == GPrintfLength::kLong64
                               ? static_cast<uint64_t>(LuaNumberToInt64(number))
                               : LuaNumberLow32(number);
        if (directive.length == GPrintfLength::kShort) {
            integer = static_cast<uint16_t>(integer);
        } else if (directive.length == GPrintfLength::kChar) {
            integer = static_cast<uint8_t>(integer);
        }
        const char tail[] = {'l', 'l', directive.conversion, '\0'};
        AppendFormatted(out, Conversion(KeepFlags(flags, "-#0"), width, precision, tail),
                        static_cast<unsigned long long>(integer));
        return;
    }
    case 'c': {
        const char character = static_cast<char>(LuaNumberToInt(number));
        AppendPadded(out, std::string_view(&character, 1), width, flags.find('-') != flags.npos);
        return;
    }
    case 's': {
        std::string_view text = value.text;
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) {
            text = text.substr(0, static_cast<size_t>(precision));
        }
        AppendPadded(out, text, width, flags.find('-') != flags.npos);
        return;
    }
    default: {
        const char tail[] = {directive.conversion, '\0'};
        AppendFormatted(out, Conversion(KeepFlags(flags, "-+ #0"), width, precision, tail), number);
        return;
    }
    }
}

// The whole text of a string or number slot, 0 bytes included.
std::string LuaText(lua_State* state, int index) {
    const char* text = lua_tostring(state, index);
    return text != nullptr ? std::string(text, lua_strlen(state, index)) : std::string();
}

bool TakesValue(char conversion) {
    return conversion != 0 && std::strchr("diuoxXceEfFgGaAs", conversion) != nullptr;
}

} // namespace

std::vector<GPrintfValue> ReadPrintfValues(lua_State* state, int first) {
    std::vector<GPrintfValue> values;
    const int top = lua_gettop(state);
    for (int i = first; i <= top; ++i) {
        const int type = lua_type(state, i);
        if (type != LUA_TNUMBER && type != LUA_TSTRING) {
            continue;
        }
        GPrintfValue value;
        if (lua_isnumber(state, i) != 0) {
            value.isNumber = true;
            value.number = lua_tonumber(state, i);
            // Lua's own text of the number, from a copy: converting the slot would change it.
            lua_pushnumber(state, value.number);
            value.text = LuaText(state, -1);
            lua_pop(state, 1);
        } else {
            value.text = LuaText(state, i);
        }
        values.push_back(std::move(value));
    }
    return values;
}

std::string FormatPrintf(std::string_view format, const std::vector<GPrintfValue>& values) {
    std::string out;
    GPrintfCursor cursor(values);
    size_t at = 0;
    while (at < format.size()) {
        const size_t percent = format.find('%', at);
        if (percent == std::string_view::npos) {
            out.append(format.substr(at));
            break;
        }
        out.append(format.substr(at, percent - at));
        size_t next = percent + 1;
        if (next < format.size() && format[next] == '%') {
            out += '%';
            at = next + 1;
            continue;
        }
        GPrintfDirective directive;
        while (next < format.size() && std::strchr("-+ #0", format[next]) != nullptr &&
               format[next] != '\0') {
            directive.flags += format[next++];
        }
        if (next < format.size() && format[next] == '*') {
            directive.widthFromValue = true;
            ++next;
        } else {
            directive.width = ReadDigits(format, next);
        }
        if (next < format.size() && format[next] == '.') {
            ++next;
            if (next < format.size() && format[next] == '*') {
                directive.precisionFromValue = true;
                ++next;
            } else {
                directive.precision = ReadDigits(format, next);
            }
        }
        directive.length = ReadLength(format, next);
        if (next < format.size()) {
            directive.conversion = format[next++];
        }
        at = next;
        if (!TakesValue(directive.conversion)) {
            // "%n", "%p", unknown conversions and a directive cut by the end stay text.
            out.append(format.substr(percent, next - percent));
            continue;
        }

        std::string flags = directive.flags;
        int width = directive.width;
        if (directive.widthFromValue) {
            const GPrintfValue* value = cursor.Take();
            width = -1;
            if (value != nullptr) {
                const int64_t given = LuaNumberToInt(NumberOf(*value));
                // A negative width asks for left alignment, as printf takes it.
                if (given < 0) {
                    flags += '-';
                }
                width = ClampField(given < 0 ? -given : given);
            }
        }
        int precision = directive.precision;
        if (directive.precisionFromValue) {
            const GPrintfValue* value = cursor.Take();
            const int64_t given = value != nullptr ? LuaNumberToInt(NumberOf(*value)) : -1;
            precision = given < 0 ? -1 : ClampField(given);
        }
        const GPrintfValue* value = cursor.Take();
        if (value != nullptr) {
            AppendConversion(out, directive, *value, width, precision, flags);
        }
    }
    return out;
}
