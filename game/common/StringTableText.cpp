#include "game/common/StringTableText.h"

#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

str StringTableText(const str& label, const str& a1) {
    TPlatform* platform = TPlatform::GetInstance();
    TStringTableLink* strings = platform != nullptr ? platform->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label, a1) : label;
}
