// Whole-file writes of user data through the file layer: the bytes go to a temporary file beside
// the target and are renamed over it, so a failed or interrupted write keeps the old file. Main
// thread only (names are resolved through the known-file map).
#pragma once

#include "engine/core/str.h"

// Writes size bytes as the whole of the engine file `name`. A name that does not lead to a disk
// file (a pack or memory entry) is written in place. False when nothing could be written; the old
// file is then untouched.
bool SaveWholeFile(const str& name, const void* data, int size);

// Renames the disk file `from` to `to`, replacing `to`; false when either name does not lead to
// the disk or the rename fails.
bool RenameEngineFile(const str& from, const str& to);
