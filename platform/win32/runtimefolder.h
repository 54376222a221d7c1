// Where the stand-in keeps what stands for system-wide names (named mutexes, windows that other
// processes look for): the user's runtime folder. Not part of the Win32 surface.
#pragma once

#include <string>

namespace standin::detail {

// $XDG_RUNTIME_DIR when it is a folder, else /tmp/stellagrim-<uid> (made private on first use);
// the folder set by standin::SetRuntimeFolder wins over all. No trailing '/'; empty when the
// /tmp folder is not ours (then nothing is shared with other processes).
std::string RuntimeFolder();
// A file name for a system-wide name: kind, then a hash of the name (names may hold any
// character and be long; socket paths may not). Empty when there is no runtime folder.
std::string RuntimeFileName(const char* kind, const std::string& name, const char* suffix);

} // namespace standin::detail
