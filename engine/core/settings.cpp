#include "engine/core/settings.h"

#include <map>

#include "engine/core/cipher.h"
#include "engine/core/legacylinewrap.h"

namespace {

// Never deleted: code running during static destruction may still read settings.
std::map<str, str>& Settings() {
    static auto* settings = new std::map<str, str>;
    return *settings;
}

TSettingChangedHook gSettingChangedHook = nullptr;

// Cheat mode is on when the cheat code deciphers to this computer's id.
void UpdateCheatMode() {
    str cheatCode = GetSettingRef("cheatcode");
    str key = GetSettingRef("encryptionkey");
    if (cheatCode.Length() == 0 || key.Length() == 0)
        return;
    TCipher cipher(key);
    str plain = cipher.DecryptString(cheatCode);
    GetSettingRef("cheatmode") = plain == GetSettingRef("computerid") ? "1" : "0";
}

} // namespace

void SetSetting(const str& key, const str& value) {
    // Copied first: the caller may pass references into the map itself.
    str ownKey(key);
    str ownValue(value);
    Settings()[ownKey] = ownValue;
    if (ownKey == "encryptionkey" || ownKey == "cheatcode")
        UpdateCheatMode();
    if (ownKey == "legacylinewrap")
        gLegacyLineWrap = true;
    if (gSettingChangedHook)
        gSettingChangedHook(ownKey, ownValue);
}

str GetSetting(const str& key, const str& defaultValue) {
    const auto& settings = Settings();
    auto it = settings.find(key);
    return it == settings.end() ? defaultValue : it->second;
}

bool IsEnabled(const str& key) {
    return GetSetting(key, "").ToInt() != 0;
}

str& GetSettingRef(const str& key) {
    return Settings()[key];
}

void ClearSettings() {
    Settings().clear();
}

void SetSettingChangedHook(TSettingChangedHook hook) {
    gSettingChangedHook = hook;
}
