// Window names made from a style template and a number ("FlyEmitter_%d"). Styles come from the
// asset scripts, so a template is used only when it holds exactly one integer conversion (flags,
// a width and a precision of up to two digits each allowed) besides any "%%". Pure functions; any
// thread.
#pragma once

#include "engine/core/str.h"

#include <string_view>

// Whether the template is one the names may be made from.
bool IsNameTemplate(std::string_view format);
// The template formatted with the number; empty for a template IsNameTemplate refuses.
str FormatNameTemplate(std::string_view format, int number);
