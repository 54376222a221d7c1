#include "game/world/GEventDispatcher.h"

#include <algorithm>

bool GEventDispatcher::GHalf::Lists(const GEventSceneListener* listener) const {
    return std::any_of(mListeners.begin(), mListeners.end(),
                       [listener](const GEntry& entry) { return entry.mListener == listener; });
}

int GEventDispatcher::GHalf::Add(GEventSceneListener* listener, const void* key) {
    if (mDispatching) {
        mPending.push_back(GEntry{key, listener});
        return 1;
    }
    if (Lists(listener)) {
        return 0;
    }
    mListeners.push_back(GEntry{key, listener});
    return 1;
}

int GEventDispatcher::GHalf::Remove(GEventSceneListener* listener) {
    const auto found =
        std::find_if(mListeners.begin(), mListeners.end(),
                     [listener](const GEntry& entry) { return entry.mListener == listener; });
    if (found != mListeners.end()) {
        if (mDispatching) {
            *found = GEntry{};
            mPurgeNeeded = true;
        } else {
            mListeners.erase(found);
        }
        return 1;
    }
    // A listener that registered during this dispatch and leaves again must not come back after
    // it, pointing at a scene that may be gone.
    const auto pending =
        std::find_if(mPending.begin(), mPending.end(),
                     [listener](const GEntry& entry) { return entry.mListener == listener; });
    if (pending == mPending.end()) {
        return 0;
    }
    mPending.erase(pending);
    return 1;
}

template <class Match, class Call>
int GEventDispatcher::GHalf::Run(Match match, Call call) {
    mDispatching = true;
    int count = 0;
    // By index: handlers may append to the pending list, never to this one.
    for (size_t i = 0; i < mListeners.size(); ++i) {
        GEventSceneListener* listener = mListeners[i].mListener;
        if (listener != nullptr && match(mListeners[i])) {
            call(listener);
            ++count;
        }
    }
    mDispatching = false;
    if (mPurgeNeeded) {
        std::erase_if(mListeners, [](const GEntry& entry) { return entry.mListener == nullptr; });
        mPurgeNeeded = false;
    }
    mListeners.insert(mListeners.end(), mPending.begin(), mPending.end());
    mPending.clear();
    return count;
}

void GEventDispatcher::GHalf::Clear() {
    mListeners.clear();
    mPending.clear();
}

int GEventDispatcher::AddKeyedListener(GEventSceneListener* listener, const void* key) {
    if (listener == nullptr || key == nullptr) {
        return 0;
    }
    return mKeyed.Add(listener, key);
}

int GEventDispatcher::AddListener(GEventSceneListener* listener, int kind) {
    if (listener == nullptr || kind != kBroadcast) {
        return 0;
    }
    return mBroadcast.Add(listener, nullptr);
}

int GEventDispatcher::RemoveListener(GEventSceneListener* listener, int kind) {
    if (listener == nullptr) {
        return 0;
    }
    if (kind == kKeyed) {
        return mKeyed.Remove(listener);
    }
    return kind == kBroadcast ? mBroadcast.Remove(listener) : 0;
}

int GEventDispatcher::RemoveListenerEverywhere(GEventSceneListener* listener) {
    return RemoveListener(listener, kKeyed) + RemoveListener(listener, kBroadcast);
}

int GEventDispatcher::Broadcast(int kind) {
    if (kind != kBroadcast || mBroadcast.mDispatching) {
        return 0;
    }
    return mBroadcast.Run([](const GEntry&) { return true; },
                          [](GEventSceneListener* listener) { listener->OnBroadcastEvent(); });
}

int GEventDispatcher::Dispatch(const void* key) {
    if (key == nullptr || mKeyed.mDispatching) {
        return 0;
    }
    return mKeyed.Run([key](const GEntry& entry) { return entry.mKey == key; },
                      [](GEventSceneListener* listener) { listener->OnKeyedEvent(); });
}

void GEventDispatcher::Clear() {
    mKeyed.Clear();
    mBroadcast.Clear();
}
