#include "engine/core/assetmap.h"
#include "engine/media/media.h"
#include "engine/media/texture.h"
#include "tests/engine/media/sound_asset_fixture.h"
#include "tests/engine/media/texture_fixture.h"

namespace sound_asset_test {
namespace {

// The asset map with the loaders media registers.
class SoundAssetMapTest : public TSoundAssetTest {
protected:
    void SetUp() override {
        TSoundAssetTest::SetUp();
        Open();
    }
};

TEST_F(SoundAssetMapTest, SoundsAreKeyedByTheirNamesAndGroups) {
    Serve("a/b.ogg", ToneFile(0.5));
    Serve("a.ogg", ToneFile(0.5));
    TAssetMap map;
    map.AddAsset("a\\b.ogg?group=1000", TAssetPtr());
    map.AddAsset("a.ogg", TAssetPtr());
    map.AddAsset("a.ogg?group=5", TAssetPtr());
    TAssetManager& assets = *GetAssetManager();

    const TSoundPtr grouped = map.GetSound("a/b.ogg?group=1000");
    ASSERT_TRUE(grouped);
    EXPECT_EQ(map.GetSound("a\\b.ogg?group=1000"), grouped);
    EXPECT_EQ(assets.Find("a/b.ogg?group=1000;0;1000"), grouped);
    EXPECT_EQ(assets.Find("a/b.ogg;1;1000"), grouped) << "the sound's own key";
    EXPECT_EQ(grouped->GetData()->GetCategory(), 1000);

    const TSoundPtr plain = map.GetSound("a.ogg");
    const TSoundPtr five = map.GetSound("a.ogg?group=5");
    ASSERT_TRUE(plain && five);
    EXPECT_NE(plain, five);
    EXPECT_EQ(assets.Find("a.ogg;1;-1"), plain);
    EXPECT_EQ(assets.Find("a.ogg;1;5"), five);
    EXPECT_EQ(plain->GetData()->GetCategory(), -1);
    EXPECT_EQ(SoundLog(), "");

    // Loaded on request once the flag is set.
    Serve("late.ogg", ToneFile(0.5));
    EXPECT_FALSE(map.GetSound("late.ogg"));
    EXPECT_TRUE(Logged("Sound asset not found: late.ogg")) << LogText();
    map.mAutoLoad = true;
    const TSoundPtr late = map.GetSound("late.ogg");
    ASSERT_TRUE(late);
    EXPECT_EQ(assets.Find("late.ogg;1;-1"), late);
}

class AssetMapTextureTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
        SetLogFolder(mLogs.Path().string().c_str());
        RegisterMedia();
    }

    void TearDown() override {
        SetAssetLoaderLink(nullptr);
        SetSoundManagerFactory(nullptr);
        SetLogFolder(nullptr);
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    TAssetManager mAssets;
    testing_fixtures::TempDir mLogs;
};

TEST_F(AssetMapTextureTest, ANameWithoutExtensionFindsItsImage) {
    OpenDisplay();
    AddFile("gfx/button.png", texture_test::SolidPng(4, 4, {10, 20, 30}));
    TAssetMap map;
    map.AddAsset("gfx\\button", TAssetPtr());
    const TTexturePtr texture =
        TTexture::Find(TTexture::MakeKey("gfx/button", false, false, false));
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->GetWidth(), 4);
    EXPECT_FALSE(map.GetSound("gfx/button"));
    const std::string log = mLogs.Read("logfile.txt");
    EXPECT_EQ(log.find("TAssetMap"), std::string::npos) << log;
    EXPECT_EQ(log.find("Sound asset"), std::string::npos) << "a texture is no failure";
}

} // namespace
} // namespace sound_asset_test
