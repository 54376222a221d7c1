// The platform string table's text of a label, for the game's texts taken from labels (windows,
// combo labels). Main thread.
#pragma once

#include "engine/core/str.h"

// The label itself while there is no platform or string table. `a1` is the text's format
// argument 1.
str StringTableText(const str& label, const str& a1 = str());
