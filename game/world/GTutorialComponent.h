// The base of the parts a tutorial is made of (start condition, object filter, step, closing
// condition): each reads its Lua table once and keeps the tutorial that owns it. Owned by that
// tutorial (or by one of its parts). Main thread only.
#pragma once

#include <climits>

class GTutorialRun;
class TLuaTable;

// A position that matches every position.
inline constexpr int kAnyTutorialPos = INT_MAX;

class GTutorialComponent {
public:
    virtual ~GTutorialComponent() = default;
    // Keeps the owner; whether both the table and the owner are given.
    virtual bool Load(TLuaTable* table, GTutorialRun* owner);
    GTutorialRun* GetOwner() const { return mOwner; }

protected:
    // Not owned.
    GTutorialRun* mOwner = nullptr;
};
