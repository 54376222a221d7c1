// Feeds a command line (bytes up to the first 0, rich in quotes, backslashes and blanks) to the
// Windows splitting of CreateProcessA's stand-in, joins the arguments back as a Windows program
// quotes them, and splits that again: the arguments must come back the same.
#include "platform/win32/spawn.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The program name cannot hold a quote; quoted whole when it is empty or holds a blank.
void AppendProgram(std::string& line, const std::string& program) {
    if (program.empty() || program.find_first_of(" \t") != std::string::npos) {
        line += '"' + program + '"';
    } else {
        line += program;
    }
}

// Quoted when it is empty or holds a blank or a quote: backslashes before a quote and before the
// closing quote are doubled, a quote is escaped.
void AppendArgument(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    size_t slashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            line.append(slashes * 2 + 1, '\\');
        } else {
            line.append(slashes, '\\');
        }
        slashes = 0;
        line += c;
    }
    line.append(slashes * 2, '\\');
    line += '"';
}

std::string Join(const std::vector<std::string>& arguments) {
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0) {
            AppendProgram(line, arguments[i]);
        } else {
            line += ' ';
            AppendArgument(line, arguments[i]);
        }
    }
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> arguments = standin::SplitCommandLine(line.c_str());
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0 && arguments[i].find('"') != std::string::npos) {
            std::abort();
        }
    }
    if (standin::SplitCommandLine(Join(arguments).c_str()) != arguments) {
        std::abort();
    }
    return 0;
}
