// The built-in library "particles.lua" that every particle system's Lua state runs before its
// script: blend-mode names, the value-node metatables and operators, member Init and Anim, the
// emission helpers and the script's default Update.
#pragma once

#include <string_view>

std::string_view ParticleScriptLibrary();
