// Starting programs for ShellExecuteA and CreateProcessA: one spawning path over posix_spawn,
// never through a shell, and the Windows rules for splitting a command line into arguments. Not
// part of the Win32 surface; the engine never includes this. Any thread may call these.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace standin {

// The arguments of a command line as a Windows program's start-up code splits them: blanks and
// tabs separate arguments outside double quotes. The program name (the first argument) ends at
// the first blank or tab outside quotes; its quotes only group and are dropped, and backslashes
// in it are plain. In the other arguments 2n backslashes before a quote give n backslashes and
// the quote opens or closes a quoted part; 2n + 1 give n backslashes and a literal quote;
// backslashes before anything else are plain; inside a quoted part two quotes give one literal
// quote. Leading blanks are skipped; an empty or blank line has no arguments.
std::vector<std::string> SplitCommandLine(const char* commandLine);

namespace detail {

// Starts arguments[0] with the arguments, in `directory` when it is not empty, with the process's
// environment; a program name without '/' is looked for on PATH. The new process id, or -1 when
// it could not be started (a missing program among the reasons).
pid_t Spawn(const std::vector<std::string>& arguments, const char* directory);
// A thread of its own waits for the child, so that it leaves no zombie behind.
void ReapLater(pid_t child);

} // namespace detail
} // namespace standin
