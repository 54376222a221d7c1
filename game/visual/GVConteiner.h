// The keyed list behind every list of the visual object model (textures, frames, states,
// children, effects): items in order, owned, each appended under a key; equal keys keep their
// order, and a lookup by key finds the first. Derived lists say how items are made and cloned.
// Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/visual/GVBase.h"

#include <map>
#include <vector>

template <class T, class K>
class GVConteiner : public GVBase {
public:
    GVConteiner(int type, const char* itemName) : GVBase(type), mItemName(itemName) {}
    // Deletes what is still held; a list that does not own its items empties itself first.
    ~GVConteiner() override { DeleteItems(); }
    GVConteiner(const GVConteiner&) = delete;
    GVConteiner& operator=(const GVConteiner&) = delete;

    // Lists are not written back.
    bool Save(TXmlNode* /*element*/) override { return false; }
    // Appends a clone of every item, under its key, to a list of the same type code; null for
    // another kind. Items that cannot be cloned are left out.
    GVBase* CopyTo(GVBase* target) override {
        auto* list = dynamic_cast<GVConteiner*>(target);
        if (list == nullptr || target->GetType() != GetType()) {
            return nullptr;
        }
        for (const GEntry& entry : mEntries) {
            if (T* clone = CloneItem(entry.item)) {
                list->Append(clone, entry.key);
            }
        }
        return target;
    }
    // Deletes every item and empties the list.
    virtual void Clear() { DeleteItems(); }
    // Writes nothing in the base.
    virtual bool SaveItem(TXmlNode* /*element*/, T* /*item*/) { return false; }
    // A new item loaded from the element, or null; the base makes none.
    virtual T* CreateItem(TXmlNode* /*element*/) { return nullptr; }
    // A copy of the item, or null; the base makes none.
    virtual T* CloneItem(T* /*item*/) { return nullptr; }

    // At the end, under the key; the list takes the item. A null item is ignored.
    void Append(T* item, const K& key) {
        if (item == nullptr) {
            return;
        }
        mKeys.emplace(key, static_cast<int>(mEntries.size()));
        mEntries.push_back(GEntry{item, key});
    }
    int Count() const { return static_cast<int>(mEntries.size()); }
    // Null outside the list.
    T* At(int position) const {
        return position >= 0 && position < Count() ? mEntries[position].item : nullptr;
    }
    // The position of the first item under the key, or -1.
    int IndexOf(const K& key) const {
        auto found = mKeys.lower_bound(key);
        return found != mKeys.end() && !(key < found->first) ? found->second : -1;
    }
    // The first item under the key, or null.
    T* Find(const K& key) const { return At(IndexOf(key)); }
    const str& GetItemName() const { return mItemName; }

protected:
    // Empties the list without deleting anything.
    void Forget() {
        mEntries.clear();
        mKeys.clear();
    }

private:
    struct GEntry {
        T* item;
        K key;
    };

    void DeleteItems() {
        std::vector<GEntry> entries;
        entries.swap(mEntries);
        mKeys.clear();
        for (const GEntry& entry : entries) {
            delete entry.item;
        }
    }

    // Empty: any element name is an item.
    str mItemName;
    std::vector<GEntry> mEntries;
    std::multimap<K, int> mKeys;
};
