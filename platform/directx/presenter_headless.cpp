// The presenter without a display: nothing to show, but the program still keeps its pace.
#include "platform/directx/presenterimpl.h"

namespace standin::detail {

namespace {

class THeadlessPresenter final : public TPresenter {
public:
    void Show(HWND, bool, const TPresentImage&) override {}
    void SetFullscreen(HWND, bool) override {}
    void WaitForVerticalBlank(DWORD refreshRate) override { WaitForNextRefresh(refreshRate); }
};

} // namespace

std::unique_ptr<TPresenter> MakeHeadlessPresenter() {
    return std::make_unique<THeadlessPresenter>();
}

} // namespace standin::detail
