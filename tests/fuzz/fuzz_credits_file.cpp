// Lays the input out as the credits file of a headless credits window (long lines, bars, brackets,
// blank runs and any bytes) and scrolls it over the first pass and a whole later pass on the fake
// clock, drawing frames along the way; ASan watches every step. The first byte picks the speed
// (0 and negative ones among them). Checked: the text never moves down within a pass.
#include "engine/core/knownfiles.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "game/shell/TCredits.h"
#include "game/world/GLogicalManagerHooks.h"
#include "platform/win32/standin.h"
#include "tests/fuzz/fuzz_game_screen.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kFrames = 24;

const char* const kSpeeds[] = {"10", "0", "-3", "0.001", "1000", "1e9", "0/0", "'x'"};

void Draw() {
    TRenderer* renderer = TRenderer::Existing();
    TModalWindow* top = GetWindowManager()->GetTopModal();
    if (top != nullptr && renderer->BeginDraw(0)) {
        renderer->PushClipRect(TRect{0, 0, kWidth, kHeight});
        top->DrawTree();
        renderer->PopClipRect();
        renderer->EndDraw(0);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzz_screen::StartHeadless({{"CreditsWindow", &TCredits::Create}}, kWidth, kHeight);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    const char* speed = kSpeeds[bytes.Byte() % (sizeof kSpeeds / sizeof kSpeeds[0])];
    const std::string file(bytes.Rest());
    RegisterMemoryFile("credits.txt", file.data(), static_cast<unsigned>(file.size()));

    fuzz_screen::PushScreen("credits_screen");
    TWindowScript* script = GetWindowManager()->GetWindowScript();
    script->DoLuaString((std::string("CreditsWindow{ name = 'credits', x = 0, y = 0, w = ") +
                         std::to_string(kWidth) + ", h = " + std::to_string(kHeight) +
                         ", file = 'credits.txt', fontsize = 12, speed = " + speed +
                         ", intropause = 100, headercolor = { 1, 0, 0, 1 } }()")
                            .c_str());
    TWindow* window = GetWindowManager()->GetTopModal()->FindChild("credits", -1);
    if (window == nullptr || !window->IsKindOf(TCredits::ClassId())) {
        std::abort();
    }
    auto* credits = static_cast<TCredits*>(window);
    const float pixelsPerSecond = credits->GetSpeed();
    const uint32_t start = TPlatform::GetTime();
    // The first pass and one whole later one, in kFrames steps each.
    const double firstMs =
        pixelsPerSecond > 0.0f ? 100.0 + credits->GetTotalHeight() * 1000.0 / pixelsPerSecond : 0.0;
    const double laterMs = pixelsPerSecond > 0.0f
                               ? (kHeight + credits->GetTotalHeight()) * 1000.0 / pixelsPerSecond
                               : 0.0;
    const double step = (firstMs + laterMs) / (2 * kFrames);
    int64_t last = credits->TextTop(start);
    int pass = credits->GetPass();
    for (int i = 1; i <= 2 * kFrames; ++i) {
        const double at = step * i;
        const uint32_t now = start + (at < 4e9 ? static_cast<uint32_t>(at) : 4000000000u);
        const int64_t top = credits->TextTop(now);
        if (credits->GetPass() == pass && at < 4e9 && i < 2 * kFrames && top > last) {
            std::abort();
        }
        pass = credits->GetPass();
        last = top;
        if (i % 8 == 0) {
            // The frame is drawn at the same engine time: the fake clock moves on to it.
            const uint32_t engineNow = TPlatform::GetTime();
            if (now > engineNow) {
                standin::AdvanceTime(now - engineNow);
            }
            Draw();
        }
    }
    fuzz_screen::CloseScreens();
    RegisterMemoryFile("credits.txt", nullptr, 0);
    standin::SetFakeTime(1000);
    return 0;
}
