// The presenter's implementations, for MakePresenter to choose from, and the refresh pacing they
// share. Not part of the DirectDraw surface.
#pragma once

#include "platform/directx/presenter.h"

namespace standin::detail {

// Shows images in the SDL windows of top-level windows; acts only on the thread that runs SDL's
// video.
std::unique_ptr<TPresenter> MakeSdlPresenter();
// Shows nothing: there is no display.
std::unique_ptr<TPresenter> MakeHeadlessPresenter();
// Sleeps until the next multiple of 1000/refreshRate ms of the steady clock (60 per second for 0).
void WaitForNextRefresh(DWORD refreshRate);

} // namespace standin::detail
