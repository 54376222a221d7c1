// The text of a string-table label, for the game's windows. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

// The platform's string table's text of the label; the label itself without a table.
inline str StringTableText(const str& label) {
    TPlatform* platform = TPlatform::GetInstance();
    TStringTableLink* strings = platform != nullptr ? platform->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label) : label;
}
