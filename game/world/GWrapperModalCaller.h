// Which scene opened which modal dialog: the logical manager keeps one record per open dialog and
// hands the dialog's answer back to the scene of the same dialog id. The manager owns the records;
// the scene is not owned, and the manager empties it when the scene is destroyed first. Main
// thread only.
#pragma once

#include <cstdint>

class GBaseWrapperModalCaller {
public:
    virtual ~GBaseWrapperModalCaller() = default;
};

template <class TCaller>
class GWrapperModalCaller : public GBaseWrapperModalCaller {
public:
    GWrapperModalCaller(int32_t dialogId, TCaller* scene) : mDialogId(dialogId), mScene(scene) {}

    int32_t mDialogId = 0;
    // Not owned; null once the scene is gone, and an answer for it is then ignored.
    TCaller* mScene = nullptr;
};
