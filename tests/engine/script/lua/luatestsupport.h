// Helpers for the script machine's tests: an injectable allocator that counts live bytes and can
// refuse a chosen allocation, a state fixture, and a walker that checks every object reachable from
// the roots is still owned by the state after a collection.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/script/lua/lua.h"

// Counts what a state holds through the process-wide allocator hook. Installed for the lifetime of
// the object; refusals are counted over allocations (not frees), from 1.
class TTestAllocator {
public:
    TTestAllocator();
    ~TTestAllocator();

    // Refuse the k-th allocation from now on (0 = never).
    void FailAt(long k) {
        mFailAt = k;
        mCount = 0;
    }
    void FailAlways(bool on) { mFailAlways = on; }
    // While paused, allocations are neither counted nor refused.
    void Pause(bool paused) { mPaused = paused; }
    long Allocations() const { return mCount; }
    size_t LiveBytes() const { return mLive; }
    size_t LiveBlocks() const { return mBlocks.size(); }
    // Each call as (old size, new size, allocating-buffer flag).
    struct Call {
        size_t oldsize;
        size_t newsize;
        int buffer;
    };
    std::vector<Call> mCalls;
    bool mRecord = false;

    static void* Alloc(void* ud, void* block, size_t oldsize, size_t newsize, int reserved,
                       int buffer);

private:
    lua_Alloc mPrevAlloc;
    void* mPrevUd;
    long mFailAt = 0;
    long mCount = 0;
    bool mFailAlways = false;
    bool mPaused = false;
    size_t mLive = 0;
    std::map<void*, size_t> mBlocks;
};

// Turns the collector's stress mode on for the whole test program when the environment variable
// STELLAGRIM_LUA_GC_STRESS is 1: every safe point then runs a full collection.
bool LuaGCStressRequested();

// Checks that every object reachable from the state's roots is one the state still owns (in its
// object lists or string store). Returns the number of reachable objects, or -1 with a failure.
long LuaVerifyReachable(lua_State* L);

// Runs f under lua_pcall; returns the status and leaves the error message in *msg.
int LuaProtectedRun(lua_State* L, const std::function<void(lua_State*)>& f, std::string* msg);

// A fresh state per test.
class LuaStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        L = lua_open();
        ASSERT_NE(L, nullptr);
    }
    void TearDown() override {
        if (L != nullptr) {
            lua_close(L);
        }
    }
    lua_State* L = nullptr;
};
