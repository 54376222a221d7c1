#include "engine/core/legacylinewrap.h"

bool gLegacyLineWrap = false;
