#include "engine/core/asset.h"
#include "engine/core/assetmanager.h"
#include "engine/core/str.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Records Unload, Restore and destruction by name in a shared journal.
class TProbeAsset : public TAsset {
public:
    static const void* ClassId() { return reinterpret_cast<const void*>(&TProbeAsset::ClassId); }

    TProbeAsset(std::vector<std::string>& journal, std::string name)
        : mJournal(journal), mName(std::move(name)) {}
    ~TProbeAsset() override { mJournal.push_back("~" + mName); }

    const char* GetClassName() const override { return "TProbeAsset"; }
    bool IsKindOf(const void* classId) const override {
        return classId == ClassId() || TAsset::IsKindOf(classId);
    }
    void Unload() override {
        mJournal.push_back("unload " + mName);
        if (mOnUnload) {
            mOnUnload();
        }
    }
    void Restore() override {
        mJournal.push_back("restore " + mName);
        if (mOnRestore) {
            mOnRestore();
        }
    }

    std::function<void()> mOnUnload;
    std::function<void()> mOnRestore;

private:
    std::vector<std::string>& mJournal;
    std::string mName;
};

using TProbePtr = boost::shared_ptr<TProbeAsset>;

// Lets the tests count the entries, dead ones included.
class TCountingManager : public TAssetManager {
public:
    size_t Entries() const { return mAssets.size(); }
};

class AssetManagerTest : public testing::Test {
protected:
    TProbePtr Make(const std::string& name) {
        return boost::make_shared<TProbeAsset>(mJournal, name);
    }
    TProbePtr AddNew(const char* key) {
        TProbePtr asset = Make(key);
        mManager.Add(key, asset);
        return asset;
    }

    std::vector<std::string> mJournal;
    TCountingManager mManager;
};

TEST(AssetTest, ClassIdentity) {
    std::vector<std::string> journal;
    const TAssetPtr base = boost::make_shared<TAsset>();
    EXPECT_STREQ(base->GetClassName(), "TAsset");
    EXPECT_TRUE(base->IsKindOf(TAsset::ClassId()));
    EXPECT_FALSE(base->IsKindOf(TProbeAsset::ClassId()));
    EXPECT_FALSE(base->IsKindOf(nullptr));

    const TAssetPtr probe = boost::make_shared<TProbeAsset>(journal, "p");
    EXPECT_STREQ(probe->GetClassName(), "TProbeAsset");
    EXPECT_TRUE(probe->IsKindOf(TAsset::ClassId()));
    EXPECT_TRUE(probe->IsKindOf(TProbeAsset::ClassId()));
    EXPECT_NE(TAsset::ClassId(), TProbeAsset::ClassId());
}

TEST(AssetTest, HandsOutASharedPointerToItself) {
    const TAssetPtr asset = boost::make_shared<TAsset>();
    const TAssetPtr self = asset->shared_from_this();
    EXPECT_EQ(self, asset);
    EXPECT_EQ(asset.use_count(), 2);
}

TEST_F(AssetManagerTest, SecondLookupFindsTheLiveAsset) {
    TProbePtr held = AddNew("tex:a");
    EXPECT_EQ(mManager.Find("tex:a"), held);
    EXPECT_EQ(mManager.Find("tex:a"), held);
    // The manager's reference is weak.
    EXPECT_EQ(held.use_count(), 1);
}

TEST_F(AssetManagerTest, LastHolderFreesTheAssetAndTheManagerForgetsIt) {
    TProbePtr first = AddNew("tex:a");
    TProbePtr second = boost::static_pointer_cast<TProbeAsset>(mManager.Find("tex:a"));
    first.reset();
    EXPECT_TRUE(mJournal.empty());
    second.reset();
    EXPECT_EQ(mJournal, (std::vector<std::string>{"~tex:a"}));
    EXPECT_FALSE(mManager.Find("tex:a"));

    // The next load makes a new object under the same key.
    TProbePtr again = AddNew("tex:a");
    EXPECT_EQ(mManager.Find("tex:a"), again);
}

TEST_F(AssetManagerTest, AddReplacesAndRemoveDrops) {
    TProbePtr one = AddNew("k");
    TProbePtr two = Make("two");
    mManager.Add("k", two);
    EXPECT_EQ(mManager.Find("k"), two);
    EXPECT_EQ(mManager.Entries(), 1u);

    mManager.Remove("k");
    EXPECT_EQ(mManager.Entries(), 0u);
    EXPECT_FALSE(mManager.Find("k"));
    mManager.Remove("never there");
}

TEST_F(AssetManagerTest, LookupOfAnAbsentKeyLeavesAnEntryForReleaseAll) {
    TProbePtr live = AddNew("live");
    EXPECT_FALSE(mManager.Find("absent"));
    EXPECT_EQ(mManager.Entries(), 2u);
    mManager.ReleaseAll();
    EXPECT_EQ(mManager.Entries(), 1u);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"unload live"}));
}

TEST_F(AssetManagerTest, ReleaseAllDropsDeadEntriesAndUnloadsLiveOnesInKeyOrder) {
    // Byte order: upper case before lower case, 0xE9 after every ASCII letter.
    TProbePtr b = AddNew("b");
    TProbePtr upper = AddNew("Z");
    AddNew("dead1");
    TProbePtr accent = AddNew("\xE9t\xE9");
    TProbePtr a = AddNew("a");
    AddNew("dead2");
    mJournal.clear();
    EXPECT_EQ(mManager.Entries(), 6u);

    mManager.ReleaseAll();
    const std::vector<std::string> unloads = {"unload Z", "unload a", "unload b",
                                              "unload \xE9t\xE9"};
    EXPECT_EQ(mJournal, unloads);
    EXPECT_EQ(mManager.Entries(), 4u);

    mJournal.clear();
    b.reset();
    mJournal.clear();
    mManager.RestoreAll();
    const std::vector<std::string> restores = {"restore Z", "restore a", "restore \xE9t\xE9"};
    EXPECT_EQ(mJournal, restores);
    // RestoreAll skips dead entries without erasing them.
    EXPECT_EQ(mManager.Entries(), 4u);
}

TEST_F(AssetManagerTest, WalksSurviveAssetsThatGoAwayOnTheWay) {
    // Unloading "a" lets go of "b", whose owner removes its entry as it dies; the walk goes on
    // with "c". Restoring "a" registers a new asset "b2" ahead in the order, which is visited.
    TProbePtr a = AddNew("a");
    TProbePtr b = AddNew("b");
    TProbePtr c = AddNew("c");
    TProbePtr b2;
    a->mOnUnload = [&] {
        b.reset();
        mManager.Remove("b");
    };
    a->mOnRestore = [&] { b2 = AddNew("b2"); };
    mJournal.clear();

    mManager.ReleaseAll();
    EXPECT_EQ(mJournal, (std::vector<std::string>{"unload a", "~b", "unload c"}));

    mJournal.clear();
    mManager.RestoreAll();
    EXPECT_EQ(mJournal, (std::vector<std::string>{"restore a", "restore b2", "restore c"}));
}

TEST_F(AssetManagerTest, AssetWhoseLastHolderLetsGoDuringUnloadDiesAfterIt) {
    TProbePtr a = AddNew("a");
    TProbePtr b = AddNew("b");
    a->mOnUnload = [&] { a.reset(); };
    mJournal.clear();
    mManager.ReleaseAll();
    EXPECT_EQ(mJournal, (std::vector<std::string>{"unload a", "~a", "unload b"}));
}

TEST_F(AssetManagerTest, DestroyingTheManagerLeavesTheAssetsAlone) {
    TProbePtr kept = Make("kept");
    {
        TAssetManager manager;
        manager.Add("kept", kept);
    }
    EXPECT_TRUE(mJournal.empty());
    EXPECT_EQ(kept.use_count(), 1);
}

} // namespace
