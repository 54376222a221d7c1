// The computer id: a 16-character text derived from the first network adapter's hardware
// address, the same from run to run on one machine. Any thread may call it.
#pragma once

#include "engine/core/str.h"

// Each of the eight character pairs is one of '@' to '_' followed by one of 'B' + i to 'I' + i.
str ComputeComputerId();
