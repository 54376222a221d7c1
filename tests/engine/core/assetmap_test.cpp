#include "engine/core/assetmanager.h"
#include "engine/core/assetmap.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "tests/fixtures/tempdir.h"

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace assetmap_test {
namespace {

// An asset of one of the loaders' kinds.
class TKindAsset : public TAsset {
public:
    explicit TKindAsset(std::string kind) : mKind(std::move(kind)) {}
    std::string mKind;
};

// Loaders that record what they are asked and answer with a new asset of their kind, or nothing
// for the paths listed in mFail. "sound" assets are the sounds.
class TRecordingLoaders final : public TAssetLoaderLink {
public:
    TAssetPtr LoadTexture(const str& path) override { return Load("texture", path); }
    str MakeTextureKey(const str& request) override { return str("tex:") + request; }
    TAssetPtr LoadAnimatedTexture(const str& path) override { return Load("anim", path); }
    str MakeAnimatedTextureKey(const str& request) override { return str("anim:") + request; }
    TAssetPtr LoadSound(const str& path) override { return Load("sound", path); }
    TAssetPtr LoadScriptCode(const str& path) override { return Load("script", path); }
    TAssetPtr LoadModel(const str& path) override { return Load("model", path); }
    TSound* AsSound(TAsset* asset) override {
        auto* kind = dynamic_cast<TKindAsset*>(asset);
        // The test never looks inside: it compares addresses only.
        return kind != nullptr && kind->mKind == "sound" ? reinterpret_cast<TSound*>(asset)
                                                         : nullptr;
    }

    std::vector<std::string> mCalls;
    std::vector<std::string> mFail;

private:
    TAssetPtr Load(const std::string& kind, const str& path) {
        mCalls.push_back(kind + " " + path.CStr());
        for (const std::string& failing : mFail) {
            if (failing == path.CStr()) {
                return TAssetPtr();
            }
        }
        return boost::make_shared<TKindAsset>(kind);
    }
};

class AssetMapTest : public testing::Test {
protected:
    void SetUp() override {
        ClearKnownFiles();
        SetAssetManager(&mManager);
        SetAssetLoaderLink(&mLoaders);
        SetLogFolder(mLogs.Path().string().c_str());
    }

    void TearDown() override {
        SetLogFolder(nullptr);
        SetAssetLoaderLink(nullptr);
        SetAssetManager(nullptr);
        ClearKnownFiles();
    }

    // An engine file of one byte; the fake loaders never read it.
    void AddFile(const char* name) { RegisterMemoryFile(name, "x", 1); }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }
    bool Logged(const std::string& line) const { return LogText().find(line) != std::string::npos; }

    static std::string KindOf(const TAssetPtr& asset) {
        auto* kind = dynamic_cast<TKindAsset*>(asset.get());
        return kind != nullptr ? kind->mKind : "";
    }

    TAssetManager mManager;
    TRecordingLoaders mLoaders;
    testing_fixtures::TempDir mLogs;
};

TEST_F(AssetMapTest, ChoosesTheLoaderAndTheKeyByExtension) {
    struct TCase {
        const char* name;
        const char* file;
        const char* call;
        const char* key;
    };
    const TCase cases[] = {
        {"gfx/a.png", "gfx/a.png", "texture gfx/a.png", "tex:gfx/a.png"},
        {"gfx/b.jpg?mipmap", "gfx/b.jpg", "texture gfx/b.jpg?mipmap", "tex:gfx/b.jpg?mipmap"},
        {"anim/walk.xml", "anim/walk.xml", "anim anim/walk.xml", "anim:anim/walk.xml"},
        {"anim/run.anm", "anim/run.anm", "anim anim/run.anm", "anim:anim/run.anm"},
        {"sfx/click.ogg?group=1000", "sfx/click.ogg", "sound sfx/click.ogg?group=1000",
         "sfx/click.ogg?group=1000;0;1000"},
        {"sfx/plain.ogg", "sfx/plain.ogg", "sound sfx/plain.ogg", "sfx/plain.ogg;0;0"},
        {"sfx/odd.ogg?volume=2", "sfx/odd.ogg", "sound sfx/odd.ogg?volume=2",
         "sfx/odd.ogg?volume=2;0;0"},
        {"scripts/x.lua", "scripts/x.lua", "script scripts/x.lua", "scripts/x.lua"},
        {"models/cube.mesh", "models/cube.mesh", "model models/cube.mesh", "models/cube.mesh"},
    };
    TAssetMap map;
    for (const TCase& item : cases) {
        AddFile(item.file);
        mLoaders.mCalls.clear();
        map.AddAsset(item.name, TAssetPtr());
        ASSERT_EQ(mLoaders.mCalls, std::vector<std::string>{item.call}) << item.name;
        const TAssetPtr registered = mManager.Find(item.key);
        EXPECT_TRUE(registered) << item.name;
        const bool isSound = std::string(item.call).rfind("sound", 0) == 0;
        EXPECT_EQ(static_cast<const void*>(map.GetSound(item.name).get()),
                  isSound ? static_cast<const void*>(registered.get()) : nullptr)
            << item.name;
    }
    EXPECT_FALSE(Logged("TAssetMap")) << LogText();
}

TEST_F(AssetMapTest, SearchesTheStandardExtensionsInOrder) {
    struct TCase {
        const char* name;
        std::vector<const char*> files;
        const char* call;
        const char* key;
    };
    const TCase cases[] = {
        {"one", {"one.png", "one.ogg", "one.lua"}, "texture one.png", "tex:one"},
        {"two", {"two.png", "two.xml"}, "anim two.xml", "anim:two"},
        {"three", {"three.jpg", "three.anm"}, "anim three.anm", "anim:three"},
        {"four", {"four.lua", "four.mesh"}, "model four.mesh", "four"},
        {"five?group=3", {"five.ogg"}, "sound five.ogg?group=3", "five?group=3;0;3"},
        {"six", {"six", "six.png"}, "", ""},
    };
    TAssetMap map;
    for (const TCase& item : cases) {
        for (const char* file : item.files) {
            AddFile(file);
        }
        mLoaders.mCalls.clear();
        map.AddAsset(item.name, TAssetPtr());
        if (item.call[0] == '\0') {
            // The name exists as given and has no extension: no loader takes it.
            EXPECT_TRUE(mLoaders.mCalls.empty()) << item.name;
            EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading six")) << LogText();
            continue;
        }
        ASSERT_EQ(mLoaders.mCalls, std::vector<std::string>{item.call}) << item.name;
        EXPECT_TRUE(mManager.Find(item.key)) << item.name;
    }
}

TEST_F(AssetMapTest, FailuresAreLoggedAndLeaveNoEntry) {
    AddFile("notes.txt");
    AddFile("broken.png");
    mLoaders.mFail = {"broken.png?slow"};
    TAssetMap map;

    map.AddAsset("missing", TAssetPtr());
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Failed to find asset missing with any standard "
                       "extension (jpg/png/anm/xml/ogg/mesh)"))
        << LogText();
    map.AddAsset("gone.ogg?group=2", TAssetPtr());
    EXPECT_TRUE(Logged("Failed to find asset gone.ogg?group=2 with")) << LogText();
    map.AddAsset("notes.txt", TAssetPtr());
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading notes.txt")) << LogText();
    map.AddAsset("broken?slow", TAssetPtr());
    EXPECT_EQ(mLoaders.mCalls, std::vector<std::string>{"texture broken.png?slow"});
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading broken.png?slow")) << LogText();
    EXPECT_FALSE(mManager.Find("tex:broken?slow"));

    // Nothing was stored: a lookup finds nothing and says so.
    for (const char* name : {"missing", "notes.txt", "broken?slow"}) {
        EXPECT_FALSE(map.GetSound(name));
        EXPECT_TRUE(Logged(std::string("Sound asset not found: ") + name)) << LogText();
    }
}

TEST_F(AssetMapTest, WithoutLoadersNothingLoads) {
    SetAssetLoaderLink(nullptr);
    AddFile("a.ogg");
    TAssetMap map;
    map.AddAsset("a.ogg", TAssetPtr());
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading a.ogg")) << LogText();
    EXPECT_FALSE(AssetToSound(boost::make_shared<TKindAsset>("sound")));
}

TEST_F(AssetMapTest, NamesAreStoredWithSlashesAndFoundByEitherSpelling) {
    AddFile("a/b.ogg");
    TAssetMap map;
    map.AddAsset("a\\b.ogg?group=1000", TAssetPtr());
    EXPECT_EQ(mLoaders.mCalls, std::vector<std::string>{"sound a/b.ogg?group=1000"});
    const TAssetPtr registered = mManager.Find("a/b.ogg?group=1000;0;1000");
    ASSERT_TRUE(registered);
    const TSoundPtr slashed = map.GetSound("a/b.ogg?group=1000");
    const TSoundPtr backslashed = map.GetSound("a\\b.ogg?group=1000");
    EXPECT_EQ(static_cast<const void*>(slashed.get()), registered.get());
    EXPECT_EQ(static_cast<const void*>(backslashed.get()), registered.get());
    // The sound reference shares the asset's ownership.
    EXPECT_EQ(registered.use_count(), 4);
    EXPECT_FALSE(Logged("Sound asset not found")) << LogText();
}

TEST_F(AssetMapTest, GetSoundAnswersOnlyForSounds) {
    AddFile("img.png");
    AddFile("late.ogg");
    TAssetMap map;
    map.AddAsset("img.png", TAssetPtr());
    EXPECT_FALSE(map.GetSound("img.png"));
    EXPECT_FALSE(Logged("Sound asset not found")) << "another kind is no failure";

    EXPECT_FALSE(map.GetSound("late.ogg"));
    EXPECT_TRUE(Logged("Sound asset not found: late.ogg")) << LogText();
    EXPECT_TRUE(mLoaders.mCalls.size() == 1) << "no loading without the flag";

    map.mAutoLoad = true;
    const TSoundPtr loaded = map.GetSound("late.ogg");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(mLoaders.mCalls.back(), "sound late.ogg");
    EXPECT_EQ(static_cast<const void*>(map.GetSound("late.ogg").get()),
              static_cast<const void*>(loaded.get()));
    EXPECT_EQ(mLoaders.mCalls.size(), 2u) << "loaded once";
    EXPECT_TRUE(mManager.Find("late.ogg;0;0"));

    // Auto-loading a name that does not load: both failures are told.
    EXPECT_FALSE(map.GetSound("nowhere.ogg"));
    EXPECT_TRUE(Logged("Failed to find asset nowhere.ogg")) << LogText();
    EXPECT_TRUE(Logged("Sound asset not found: nowhere.ogg")) << LogText();
}

TEST_F(AssetMapTest, HoldsWhatItStoresUntilItGoes) {
    const auto given = boost::make_shared<TKindAsset>("sound");
    const auto other = boost::make_shared<TKindAsset>("sound");
    boost::weak_ptr<TAsset> watch = given;
    AddFile("x.png");
    AddFile("y.lua");
    boost::weak_ptr<TAsset> loadedWatch;
    {
        auto map = std::make_unique<TAssetMap>();
        map->AddAsset("sfx\\given", given);
        EXPECT_TRUE(mLoaders.mCalls.empty()) << "a given asset is not loaded";
        EXPECT_EQ(static_cast<const void*>(map->GetSound("sfx/given").get()), given.get());
        map->AddAsset("sfx/given", other);
        EXPECT_EQ(static_cast<const void*>(map->GetSound("sfx/given").get()), other.get());

        const char* const names[] = {"x", "y.lua", nullptr};
        map->AddAssets(names);
        EXPECT_EQ(mLoaders.mCalls, (std::vector<std::string>{"texture x.png", "script y.lua"}));
        loadedWatch = mManager.Find("tex:x");
        EXPECT_FALSE(loadedWatch.expired()) << "the map holds what it loaded";
    }
    EXPECT_TRUE(loadedWatch.expired());
    EXPECT_FALSE(watch.expired()) << "the caller still holds it";
}

} // namespace
} // namespace assetmap_test
