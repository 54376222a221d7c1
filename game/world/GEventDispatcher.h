// The listener registry of the logical manager: scenes that want to hear of game events register,
// keyed (by an object's address) or for broadcasts, and the manager dispatches to them. Listeners
// may add or remove themselves while a dispatch runs: removal then only marks the entry, and
// additions wait in a pending list until the dispatch ends. Listeners are not owned. Main thread.
#pragma once

#include <cstdint>
#include <vector>

class GEventSceneListener {
public:
    virtual ~GEventSceneListener() = default;
    virtual void OnKeyedEvent() = 0;
    virtual void OnBroadcastEvent() = 0;
};

class GEventDispatcher {
public:
    // 0 selects the keyed half, 1 the broadcast half.
    static constexpr int kKeyed = 0;
    static constexpr int kBroadcast = 1;

    // 0 for a null listener or key, or, outside a dispatch, for a listener already keyed (under any
    // key); 1 otherwise.
    int AddKeyedListener(GEventSceneListener* listener, const void* key);
    // Only the broadcast kind is accepted; 0 for a null listener, another kind or, outside a
    // broadcast, a listener already listed.
    int AddListener(GEventSceneListener* listener, int kind);
    // 1 when the listener's first entry of the kind, or one waiting to be added, was dropped.
    int RemoveListener(GEventSceneListener* listener, int kind);
    int RemoveListenerEverywhere(GEventSceneListener* listener);
    // The number of handlers called; 0 for another kind or while a broadcast runs.
    int Broadcast(int kind);
    // The keyed handlers of the key; 0 for key 0 or while a keyed dispatch runs.
    int Dispatch(const void* key);
    void Clear();

private:
    struct GEntry {
        const void* mKey = nullptr;
        GEventSceneListener* mListener = nullptr;
    };
    struct GHalf {
        std::vector<GEntry> mListeners;
        std::vector<GEntry> mPending;
        bool mDispatching = false;
        bool mPurgeNeeded = false;

        bool Lists(const GEventSceneListener* listener) const;
        int Add(GEventSceneListener* listener, const void* key);
        int Remove(GEventSceneListener* listener);
        // Calls handler on every live entry that matches, then settles marks and pending entries.
        template <class Match, class Call>
        int Run(Match match, Call call);
        void Clear();
    };

    GHalf mKeyed;
    GHalf mBroadcast;
};
