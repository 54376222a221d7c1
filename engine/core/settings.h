// The process-wide settings: one map from key to value text that configures the engine and the
// game. Keys "encryptionkey", "cheatcode" and "legacylinewrap" run hooks when written; once the
// platform exists every write is also passed to its settings hook. Main thread only, no lock.
#pragma once

#include "engine/core/str.h"

// Stores the pair (replacing an older value) and runs the hooks.
void SetSetting(const str& key, const str& value);
// The stored value (possibly ""), or defaultValue when the key is absent; inserts nothing.
str GetSetting(const str& key, const str& defaultValue = str());
// True when atoi of the value is not 0.
bool IsEnabled(const str& key);
// The stored value, inserting the key with an empty value when it is absent.
str& GetSettingRef(const str& key);
// Empties the map; the platform does this when it shuts down.
void ClearSettings();

// The platform installs its settings hook when it is constructed and removes it (null) when it is
// destroyed; without one, written values are stored but not applied.
using TSettingChangedHook = void (*)(const str& key, const str& value);
void SetSettingChangedHook(TSettingChangedHook hook);
