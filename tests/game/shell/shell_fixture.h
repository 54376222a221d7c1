// The window script of a platform made for one test, with a recording display and sound manager,
// the user folder and the current folder inside a temporary folder, and the game's encryption key
// set, so that preferences, hiscores and the game log land in files the test can read.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/settings.h"
#include "tests/engine/ui/windowscript_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <filesystem>

namespace shell_test {

inline constexpr char kEncryptionKey[] = "Rw5uLk9cTbXe";

class TShellTest : public manager_test::TWindowScriptFixture {
protected:
    void SetUp() override {
        TWindowScriptFixture::SetUp();
        SetSetting("encryptionkey", kEncryptionKey);
        std::filesystem::create_directories(UserFolder());
        std::filesystem::create_directories(CurrentFolder());
        SetFolderRoots(str(UserFolder().c_str()), str(), str());
        mOldCurrent = std::filesystem::current_path();
        std::filesystem::current_path(CurrentFolder());
        SetDisplayLink(&mDisplay);
        // The platform owns it from here on.
        mSound = new platform_test::TFakeSound;
        mPlatform->GetWin32()->mSoundManager = mSound;
    }

    void TearDown() override {
        std::filesystem::current_path(mOldCurrent);
        SetFolderRoots(str(), str(), str());
        TWindowScriptFixture::TearDown();
    }

    std::filesystem::path UserFolder() const { return mFolder.Path() / "user"; }
    std::filesystem::path CurrentFolder() const { return mFolder.Path() / "run"; }
    std::string ReadCurrent(const char* name) const {
        return mFolder.Read(std::string("run/") + name);
    }

    testing_fixtures::TempDir mFolder;
    std::filesystem::path mOldCurrent;
    platform_test::TFakeDisplay mDisplay;
    platform_test::TFakeSound* mSound = nullptr;
};

} // namespace shell_test
