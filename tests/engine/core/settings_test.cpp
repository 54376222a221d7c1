#include "engine/core/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/core/cipher.h"
#include "engine/core/legacylinewrap.h"

namespace {

struct TSeenSetting {
    std::string key;
    std::string value;
    std::string cheatModeThen;
};
std::vector<TSeenSetting> gSeen;

void RecordSetting(const str& key, const str& value) {
    gSeen.push_back({key.CStr(), value.CStr(), GetSetting("cheatmode", "unset").CStr()});
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        ClearSettings();
        SetSettingChangedHook(nullptr);
        gLegacyLineWrap = false;
        gSeen.clear();
    }

    // The cheat code a player of this computer would be given: the computer id, with its zero
    // byte, enciphered under the key, in base64.
    static str CheatCodeFor(const str& key, const str& computerId) {
        TCipher cipher(key);
        int needed = cipher.Encrypt(computerId.CStr(), computerId.Length() + 1, nullptr, 0, true);
        std::string text(static_cast<size_t>(needed), '\0');
        EXPECT_EQ(
            cipher.Encrypt(computerId.CStr(), computerId.Length() + 1, text.data(), needed, true),
            0);
        return str(text.c_str());
    }
};

const char kSettingsKey[] = "QmFzZTY0a2V5";
const char kComputerId[] = "@B@C@D@E@F@G@H@I";

TEST_F(Settings, GetReturnsDefaultOnlyForAbsentKeys) {
    EXPECT_STREQ(GetSetting("colour", "blue").CStr(), "blue");
    EXPECT_STREQ(GetSetting("colour").CStr(), "");
    // Reading inserted nothing: a different default still comes back.
    EXPECT_STREQ(GetSetting("colour", "red").CStr(), "red");

    SetSetting("colour", "");
    EXPECT_STREQ(GetSetting("colour", "blue").CStr(), "");

    SetSetting("colour", "green");
    SetSetting("colour", "amber");
    EXPECT_STREQ(GetSetting("colour", "blue").CStr(), "amber");

    // Keys are compared whole and case-sensitively.
    EXPECT_STREQ(GetSetting("Colour", "none").CStr(), "none");
    EXPECT_STREQ(GetSetting("colou", "none").CStr(), "none");
}

TEST_F(Settings, GetSettingRefInsertsAnEmptyValue) {
    str& value = GetSettingRef("fresh");
    EXPECT_STREQ(value.CStr(), "");
    EXPECT_STREQ(GetSetting("fresh", "default").CStr(), "");
    value = "written";
    EXPECT_STREQ(GetSetting("fresh").CStr(), "written");
    // The reference stays valid while other keys are added.
    SetSetting("another", "1");
    EXPECT_EQ(&GetSettingRef("fresh"), &value);
}

TEST_F(Settings, IsEnabledReadsTheLeadingNumber) {
    struct Case {
        const char* value;
        bool enabled;
    };
    const Case cases[] = {
        {"1", true},  {"0", false}, {"", false},   {"abc", false}, {"2x", true},
        {"-1", true}, {" 3", true}, {"00", false}, {"0x1", false}, {"x1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        SetSetting("flag", c.value);
        EXPECT_EQ(IsEnabled("flag"), c.enabled);
    }
    EXPECT_FALSE(IsEnabled("absent"));
    EXPECT_STREQ(GetSetting("absent", "still absent").CStr(), "still absent");
}

TEST_F(Settings, ClearEmptiesTheMap) {
    SetSetting("a", "1");
    ClearSettings();
    EXPECT_STREQ(GetSetting("a", "gone").CStr(), "gone");
}

TEST_F(Settings, CheatModeWaitsForTheKey) {
    SetSetting("computerid", kComputerId);
    SetSetting("cheatcode", CheatCodeFor(kSettingsKey, kComputerId));
    EXPECT_STREQ(GetSetting("cheatmode", "unset").CStr(), "unset");
    // The hook looked the key up, so it now exists with an empty value.
    EXPECT_STREQ(GetSetting("encryptionkey", "absent").CStr(), "");

    SetSetting("encryptionkey", kSettingsKey);
    EXPECT_STREQ(GetSetting("cheatmode", "unset").CStr(), "1");
}

TEST_F(Settings, CheatModeComparesWithTheComputerId) {
    struct Case {
        const char* name;
        const char* computerId; // null: never set
        const char* codeFor;    // computer id the cheat code was made for
        const char* codeKey;    // key the cheat code was made with
        const char* cheatMode;
    };
    const Case cases[] = {
        {"this computer", kComputerId, kComputerId, kSettingsKey, "1"},
        {"another computer", "@B@C@D@E@F@G@H@J", kComputerId, kSettingsKey, "0"},
        {"another key", kComputerId, kComputerId, "T3RoZXJrZXkx", "0"},
        {"no computer id", nullptr, kComputerId, kSettingsKey, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearSettings();
        if (c.computerId)
            SetSetting("computerid", c.computerId);
        SetSetting("encryptionkey", kSettingsKey);
        EXPECT_STREQ(GetSetting("cheatmode", "unset").CStr(), "unset");
        SetSetting("cheatcode", CheatCodeFor(c.codeKey, c.codeFor));
        EXPECT_STREQ(GetSetting("cheatmode", "unset").CStr(), c.cheatMode);
        EXPECT_STREQ(GetSetting("computerid", "absent").CStr(), c.computerId ? c.computerId : "");
    }
}

TEST_F(Settings, CheatCodeThatIsNotBase64GivesNoCheatMode) {
    SetSetting("computerid", kComputerId);
    SetSetting("encryptionkey", kSettingsKey);
    SetSetting("cheatcode", "not a cheat code!");
    EXPECT_STREQ(GetSetting("cheatmode", "unset").CStr(), "0");
}

TEST_F(Settings, LegacyLineWrapSwitchesOnWhateverTheValue) {
    SetSetting("legacylinewra", "1");
    SetSetting("LegacyLineWrap", "1");
    EXPECT_FALSE(gLegacyLineWrap);
    SetSetting("legacylinewrap", "0");
    EXPECT_TRUE(gLegacyLineWrap);
    SetSetting("legacylinewrap", "");
    EXPECT_TRUE(gLegacyLineWrap);
    EXPECT_STREQ(GetSetting("legacylinewrap", "absent").CStr(), "");
}

TEST_F(Settings, PlatformHookSeesEveryStoredWriteOnceInstalled) {
    SetSetting("vsync", "1");
    SetSetting("memorymax", "5000");
    EXPECT_TRUE(gSeen.empty());

    SetSettingChangedHook(RecordSetting);
    // Installing the hook applies nothing that was written before.
    EXPECT_TRUE(gSeen.empty());
    SetSetting("computerid", kComputerId);
    SetSetting("encryptionkey", kSettingsKey);
    SetSetting("cheatcode", CheatCodeFor(kSettingsKey, kComputerId));
    SetSetting("viewportscale", "1.5");

    ASSERT_EQ(gSeen.size(), 4u);
    EXPECT_EQ(gSeen[0].key, "computerid");
    EXPECT_EQ(gSeen[1].key, "encryptionkey");
    EXPECT_EQ(gSeen[2].key, "cheatcode");
    // The cheat-mode hook ran before the platform's.
    EXPECT_EQ(gSeen[2].cheatModeThen, "1");
    EXPECT_EQ(gSeen[3].key, "viewportscale");
    EXPECT_EQ(gSeen[3].value, "1.5");

    SetSettingChangedHook(nullptr);
    SetSetting("vsync", "0");
    EXPECT_EQ(gSeen.size(), 4u);
    EXPECT_STREQ(GetSetting("vsync").CStr(), "0");
}

} // namespace
