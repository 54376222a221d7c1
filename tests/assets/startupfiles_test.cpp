// The files the engine start-up and the game load by name before any level exists: the settings
// and strings the platform reads, the cursor images through the texture loader, and every sound
// effect and music track played once on the null sound device.

#include "engine/core/settings.h"
#include "engine/media/sound.h"
#include "engine/media/soundinstance.h"
#include "engine/media/soundmanager.h"
#include "engine/media/texture.h"
#include "engine/ui/stringtable.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace assets_test {
namespace {

using testing_fixtures::SourceDir;

TEST_F(TDemoAssetsTest, SettingsKeepHiscoresLocalAndNameNoTrackingServer) {
    EXPECT_EQ(Text(GetSetting("hiscorelocal", "absent")), "0");
    EXPECT_EQ(Text(GetSetting("trackserver", "absent")), "");
}

TEST_F(TDemoAssetsTest, StringsHoldTheLabelsOfTheShellAndTheScripts) {
    TStringTableLink* table = mPlatform->GetStringTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Text(table->GetString("windowtitle")), "Marivell");
    EXPECT_EQ(Text(table->GetString("welcome", "Ann")), "Welcome, Ann!");
    // Every label the scripts of the folder show.
    const char* const labels[] = {"quittitle", "quitconfirm", "defaultplayer", "play",
                                  "quit",      "ok",          "yes",           "no",
                                  "continue",  "playtitle",   "playlater",     "pausetitle",
                                  "pausebody", "stoptitle",   "stopbody"};
    for (const char* label : labels) {
        const std::string text = Text(table->GetString(label));
        EXPECT_FALSE(text.empty()) << label;
        EXPECT_NE(text, "#####") << label;
    }
    EXPECT_EQ(LogText().find("Missing string"), std::string::npos) << LogText();
    EXPECT_TRUE(Manager()->SetTranslateLabels(true)) << "the table loaded, so labels translate";
}

TEST_F(TDemoAssetsTest, CursorsLoadAsTheGameAsksForThemKeyedWithTheirTipAtTheHotSpot) {
    OpenDisplay(64, 64);
    // The engine draws a game cursor by colour key (magenta is transparent), not alpha, so the
    // images are opaque with a magenta ground. The arrow's outline is 1.5 pixels wide around its
    // tip at (1, 1): pixel (0, 0) holds 8 of its 16 sample points within 0.75 of the tip, half
    // covered, so it is drawn; pixel (1, 1) holds all of them. Pixel (4, 12) lies inside the
    // arrow; (30, 2) is ground.
    struct TCase {
        const char* name;
        uint32_t inside;
    };
    const TCase cases[] = {{"cursor/cursor_def", 0xFFFFFFFF},
                           {"cursor/cursor_def_click", 0xFFFFD54F},
                           {"cursor/cursor_def_want", 0xFFFFFFFF},
                           {"cursor/cursor_def_drag", 0xFFFFFFFF}};
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.name);
        const TTexturePtr texture = TTexture::GetSimple(item.name);
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->GetWidth(), 32);
        EXPECT_EQ(texture->GetHeight(), 32);
        EXPECT_FALSE(texture->HasAlpha());
        uint32_t* pixels = nullptr;
        int pitch = 0;
        ASSERT_TRUE(texture->Lock(&pixels, &pitch));
        // The pitch counts pixels.
        const auto at = [pixels, pitch](int x, int y) { return pixels[y * pitch + x]; };
        EXPECT_EQ(at(0, 0), 0xFF000000u);
        EXPECT_EQ(at(1, 1), 0xFF000000u);
        EXPECT_EQ(at(4, 12), item.inside);
        EXPECT_EQ(at(30, 2), 0xFFFF00FFu);
        texture->Unlock();
    }
}

// The sound effects' files: 26 names of the game share them, "happy" and "happy_xl" one.
const char* const kEffects[] = {
    "typing",     "click",         "click_empty", "sliding",       "action_done",
    "grab",       "door_open",     "cry",         "fight",         "judging_bad",
    "judging_ok", "judging_great", "drums",       "winner",        "slider_relief",
    "girl_happy", "girl_neutral",  "girl_sad",    "bottle_open",   "speed_power",
    "hair_power", "makeup_power",  "poise_power", "goal_achieved", "expert_achieved"};

const char* const kMusic[] = {"gamemusic01", "gamemusic02", "gamemusic03",
                              "gamemusic04", "gamemusic05", "interface"};

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(TDemoAssetsTest, TheSoundFoldersHoldTheNamedFilesAndNothingElse) {
    std::set<std::string> effects;
    for (const char* name : kEffects) {
        effects.insert(std::string(name) + ".ogg");
    }
    EXPECT_EQ(effects.size(), 25u);
    EXPECT_EQ(FilesIn(SourceDir() / "assets/audio/sfx"), effects);
    std::set<std::string> music;
    for (const char* name : kMusic) {
        music.insert(std::string(name) + ".ogg");
    }
    EXPECT_EQ(FilesIn(SourceDir() / "assets/audio/music"), music);
}

class TDemoSoundTest : public TDemoSoundDeviceTest {
protected:
    // Plays the sound once for `ms` of output and answers the loudest sample the null device
    // mixed.
    int PlayOnce(const TSoundPtr& sound, int ms) {
        standin::TakeSoundCapture();
        const TSoundInstancePtr copy = sound->Play(false);
        EXPECT_TRUE(copy);
        for (int done = 0; done < ms; done += 250) {
            EXPECT_TRUE(standin::AdvanceSoundDevice(44100 / 4));
            standin::AdvanceTime(251);
            mManager->ServiceStreams(true);
        }
        sound->Stop();
        mManager->Update();
        int loudest = 0;
        for (const int16_t sample : standin::TakeSoundCapture()) {
            loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
        }
        return loudest;
    }
};

TEST_F(TDemoSoundTest, EveryEffectAndTrackDecodesAndPlaysAudibly) {
    struct TCase {
        std::string file;
        bool inMemory;
        int category;
        float longest;
    };
    std::vector<TCase> cases;
    // As the game opens them: effects read whole into their volume group, music from the file.
    for (const char* name : kEffects) {
        cases.push_back({std::string("audio/sfx/") + name + ".ogg?group=1000", true, 0, 1.0f});
    }
    for (const char* name : kMusic) {
        cases.push_back({std::string("audio/music/") + name + ".ogg", false, 1001, 20.0f});
    }
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.file);
        const TSoundPtr sound = TSound::Get(item.file.c_str(), item.inMemory, item.category);
        ASSERT_TRUE(sound);
        EXPECT_GT(sound->GetLength(), 0.05f);
        EXPECT_LT(sound->GetLength(), item.longest);
        // Effects are made to peak at 0.7 of full scale and music at 0.5; what the mix gives
        // back, after encoding and the category's volume, is well above silence.
        EXPECT_GT(PlayOnce(sound, 1000), 3000);
    }
    EXPECT_EQ(LogText().find("TSound"), std::string::npos) << LogText();
}

} // namespace
} // namespace assets_test
