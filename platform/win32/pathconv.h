// Path forms at the disk boundary of the stand-in. The engine speaks Windows paths ('\' or '/'
// between components, no drive, names matched without regard to case); the disk wants POSIX
// paths with the names' real case. Any thread may call these.
#pragma once

#include <string>

namespace standin {

// '\' becomes '/', a leading drive ("C:") is dropped, and every component that does not exist as
// written is matched without regard to case against its folder's entries, as a Windows file
// system would; a component with no match (a file about to be created) is kept as written.
std::string ToPosixPath(const char* windowsPath);
// '/' becomes '\'.
std::string ToWindowsPath(const std::string& posixPath);

} // namespace standin
