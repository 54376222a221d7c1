#include "platform/win32/spawn.h"

#include "platform/win32/pathconv.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace standin {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> arguments;
    if (commandLine == nullptr) {
        return arguments;
    }
    const char* at = commandLine;
    while (IsBlank(*at)) {
        ++at;
    }
    if (*at == '\0') {
        return arguments;
    }
    std::string program;
    bool quoted = false;
    for (; *at != '\0' && (quoted || !IsBlank(*at)); ++at) {
        if (*at == '"') {
            quoted = !quoted;
        } else {
            program += *at;
        }
    }
    arguments.push_back(std::move(program));

    std::string argument;
    // An argument has begun (it may be empty: a pair of quotes).
    bool open = false;
    quoted = false;
    while (*at != '\0') {
        if (!quoted && IsBlank(*at)) {
            if (open) {
                arguments.push_back(std::move(argument));
                argument.clear();
                open = false;
            }
            ++at;
            continue;
        }
        open = true;
        if (*at == '\\') {
            size_t slashes = 0;
            while (*at == '\\') {
                ++slashes;
                ++at;
            }
            if (*at == '"') {
                argument.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    argument += '"';
                    ++at;
                }
            } else {
                argument.append(slashes, '\\');
            }
            continue;
        }
        if (*at == '"') {
            if (quoted && at[1] == '"') {
                argument += '"';
                at += 2;
            } else {
                quoted = !quoted;
                ++at;
            }
            continue;
        }
        argument += *at++;
    }
    if (open) {
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

namespace detail {

pid_t Spawn(const std::vector<std::string>& arguments, const char* directory) {
    if (arguments.empty() || arguments[0].empty()) {
        return -1;
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (directory != nullptr && directory[0] != '\0') {
        posix_spawn_file_actions_addchdir_np(&actions, ToPosixPath(directory).c_str());
    }
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? child : -1;
}

void ReapLater(pid_t child) {
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

} // namespace detail
} // namespace standin
