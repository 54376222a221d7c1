// The text layout's legacy line-wrap switch: false at start, switched on for the rest of the run
// by writing the setting "legacylinewrap". Read by the text layout; main thread only.
#pragma once

extern bool gLegacyLineWrap;
