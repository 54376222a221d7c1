// Builds the game screen's small windows from the input's style values and animates them: the
// large and small hint panels and the score labels (vectors, images and colours of any Lua type,
// children present, missing or of the wrong type, a label template of arbitrary '%' sequences),
// the hinted button (delay and labels), the white fly text (colours), the jump button ("enabled"),
// the pointer label (pivot, angle, length, image) and the power selector (button template and
// count). The screen is built on a small level of a headless engine with a software display, then
// the input flies panels and texts, shows and hides hints, moves the mouse over the buttons, turns
// the label and fills the selector, ticking the fake clock between steps and drawing frames; then
// the screen closes. ASan and UBSan watch every step. Checked: a closed screen leaves the logical
// manager without game window, screen or draw list.
#include "engine/media/renderer.h"
#include "engine/script/script.h"
#include "engine/ui/window.h"
#include "game/shell/GFlyText.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GHintPanel.h"
#include "game/shell/GHintedButton.h"
#include "game/shell/GPowerMeterSelector.h"
#include "game/shell/GRIndicatorLabel.h"
#include "game/shell/GSceneCtrl.h"
#include "game/world/GLogicalManagerHooks.h"
#include "platform/directx/standin_directx.h"
#include "tests/fuzz/fuzz_game_screen.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using fuzz_screen::Child;
using fuzz_screen::CloseScreens;
using fuzz_screen::Idle;
using fuzz_screen::Number;
using fuzz_screen::PushScreen;
using fuzz_screen::Quoted;
using fuzz_screen::StartHeadless;
using fuzz_screen::Template;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A 6 x 4 image the styles may name.
std::vector<char> gImage;

void ServeImage() {
    standin::TScreenImage image;
    image.width = 6;
    image.height = 4;
    image.pixels.assign(24, 0xFFC04020u);
    const std::string path = "/tmp/fuzz_widget_styles_image.png";
    if (!standin::WritePng(path, image)) {
        std::abort();
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::abort();
    }
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        gImage.insert(gImage.end(), buffer, buffer + read);
    }
    std::fclose(file);
    RegisterMemoryFile("w.png", gImage.data(), static_cast<unsigned>(gImage.size()));
}

// An image style: the served image, a missing one, empty, raw bytes, or another Lua type.
std::string Image(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 6) {
    case 0:
    case 1:
        return "'w.png'";
    case 2:
        return "'missing.png'";
    case 3:
        return "''";
    case 4: {
        std::string raw;
        for (int n = bytes.Byte() % 8; n > 0; --n) {
            raw += static_cast<char>(bytes.Byte());
        }
        return Quoted(raw);
    }
    default:
        return Number(bytes);
    }
}

// A colour style: four numbers of any kind, a short table, or no table.
std::string Color(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 3) {
    case 0:
        return "{ " + Number(bytes) + ", " + Number(bytes) + ", " + Number(bytes) + ", " +
               Number(bytes) + " }";
    case 1:
        return "{ " + Number(bytes) + " }";
    default:
        return Number(bytes);
    }
}

std::string Bool(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 4) {
    case 0:
        return "true";
    case 1:
        return "false";
    default:
        return Number(bytes);
    }
}

int32_t Int(TFuzzBytes& bytes) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<uint32_t>(bytes.Byte()) << (8 * i);
    }
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Four bytes as the bits of a float: NaNs and infinities too.
float Float(TFuzzBytes& bytes) {
    const int32_t bits = Int(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A small hint panel's style values and children.
std::string SmallPanel(TFuzzBytes& bytes, const std::string& name) {
    std::string children = Child(bytes, "Text", "small_hint_caption") +
                           Child(bytes, "Text", "small_hint_descript") +
                           Child(bytes, "Bitmap", "hint_bg");
    return "GSmallHintPanel{ name = '" + name + "', x = " + std::to_string(bytes.Byte() % 160) +
           ", y = " + std::to_string(bytes.Byte() % 120) +
           ", w = 60, h = 40, vector_x = " + Number(bytes) + ", vector_y = " + Number(bytes) +
           ", image_1 = " + Image(bytes) + ", image_2 = " + Image(bytes) +
           ", FontColorFlyUp = " + Color(bytes) + ", FontColorFlyDown = " + Color(bytes) + ", " +
           children + "},";
}

template <class T>
T* Find(const char* name) {
    TModalWindow* top = GetWindowManager()->GetTopModal();
    TWindow* window = top != nullptr ? top->FindChild(name, -1) : nullptr;
    return window != nullptr && window->IsKindOf(T::ClassId()) ? static_cast<T*>(window) : nullptr;
}

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

TPoint Point(TFuzzBytes& bytes) {
    return TPoint{static_cast<int8_t>(bytes.Byte()) * 2, static_cast<int8_t>(bytes.Byte()) * 2};
}

// One step of play on the screen, chosen by the input.
void Step(TFuzzBytes& bytes) {
    GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
    switch (bytes.Byte() % 14) {
    case 0:
        if (auto* panel = Find<GSmallHintPanel>("small_hint_panel")) {
            panel->Fly(static_cast<int8_t>(bytes.Byte()), static_cast<int16_t>(Int(bytes)),
                       (bytes.Byte() & 1) != 0);
        }
        break;
    case 1:
        hooks.ShowHint(str(std::string(1, static_cast<char>(bytes.Byte())).c_str()), "x_descript",
                       Int(bytes), (bytes.Byte() & 1) != 0);
        break;
    case 2:
        hooks.HideHint();
        break;
    case 3:
        if (auto* button = Find<GHintedButton>("bonus")) {
            button->OnMouseMove(Point(bytes));
        }
        break;
    case 4:
        if (auto* button = Find<GHintedButton>("bonus")) {
            button->OnMouseLeave();
        }
        break;
    case 5:
        if (auto* text = Find<GFlyText>("white_score_text")) {
            text->SetText("+25");
            text->GetMobile().SetPosition(Float(bytes), Float(bytes));
            text->Fly(static_cast<int8_t>(bytes.Byte()), static_cast<int8_t>(bytes.Byte()));
        }
        break;
    case 6:
        hooks.StopScoreText();
        break;
    case 7:
        if (auto* label = static_cast<GSmallHintPanel*>(hooks.GetIdleScoreLabel("10"))) {
            label->SetDescription("10");
            label->SetBackground(bytes.Byte() % 3);
            label->Fly(static_cast<int8_t>(bytes.Byte()), bytes.Byte() % 40, true);
        }
        break;
    case 8:
        if (auto* arrow = Find<GRIndicatorLabel>("arrow")) {
            arrow->SetAngle(Float(bytes));
            arrow->Update();
        }
        break;
    case 9:
        if (auto* jump = Find<GLevelJumpButton>("jump")) {
            const TPoint point = Point(bytes);
            jump->OnMouseMove(point);
            jump->OnMouseDown(point);
            jump->OnMouseUp(point);
        }
        break;
    case 10:
        GetWindowManager()->GetWindowScript()->DoLuaString("CPP_OnPowersInitComplete()");
        break;
    case 11:
        if (auto* button = Find<GPowerMeterButton>(bytes.Byte() & 1 ? "pw_0" : "pw_1")) {
            button->OnMouseMove(Point(bytes));
            button->OnMouseDown(Point(bytes));
        }
        break;
    case 12:
        if (auto* panel = Find<GSmallHintPanel>("small_hint_panel")) {
            panel->SetBackground(bytes.Byte() % 3);
        }
        break;
    default:
        Draw();
        break;
    }
    standin::AdvanceTime(10 + bytes.Byte() % 60);
    Idle();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    TWindowScript* script = StartHeadless({{"GGameWnd", &GGameWnd::Create},
                                           {"GGameCtrl", &GGameCtrl::Create},
                                           {"GSceneCtrl", &GSceneCtrl::Create},
                                           {"GHintPanel", &GHintPanel::Create},
                                           {"GSmallHintPanel", &GSmallHintPanel::Create},
                                           {"GHintedButton", &GHintedButton::Create},
                                           {"GFlyText", &GFlyText::Create},
                                           {"GLevelJumpButton", &GLevelJumpButton::Create},
                                           {"Label", &GRIndicatorLabel::Create},
                                           {"GPowerMeterSelector", &GPowerMeterSelector::Create},
                                           {"GPowerMeterButton", &GPowerMeterButton::Create}},
                                          kWidth, kHeight);
    script->DoLuaString("function SetPowerIconBitmap(window, image) end");
    ServeImage();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    TWindowScript* script = GetWindowManager()->GetWindowScript();
    script->DoLuaString("gLevelNum = 1 gStageNum = 1");

    std::string children = "GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 160, h = 120 },";
    children += "GSceneCtrl{ name = 'scene_ctrl', x = 0, y = 0, w = 160, h = 120 },";
    children += "GHintPanel{ name = 'hint_panel', x = " + std::to_string(bytes.Byte() % 160) +
                ", y = 10, w = 100, h = 60, image = " + Image(bytes) + ", " +
                Child(bytes, "Text", "hint_caption") + Child(bytes, "Text", "hint_descript") +
                Child(bytes, "Text", "item_cost") + Child(bytes, "Text", "coment_text") +
                Child(bytes, "Text", "recomend_text") +
                Child(bytes, "Bitmap", "hint_bottom", "image = " + Image(bytes)) +
                Child(bytes, "Bitmap", "hint_top", "image = " + Image(bytes)) + "},";
    if (bytes.Byte() % 4 != 0) {
        children += SmallPanel(bytes, "small_hint_panel");
    }
    for (int i = 0; i < 3; ++i) {
        children += SmallPanel(bytes, "score_" + std::to_string(i));
    }
    children += Child(bytes, "GFlyText", "white_score_text",
                      "label = '', FontColorFlyUp = " + Color(bytes) +
                          ", FontColorFlyDown = " + Color(bytes));
    children += "GHintedButton{ name = 'bonus', x = 20, y = 60, w = 30, h = 30, HintAppearDelay "
                "= " +
                Number(bytes) + ", HintName = " + Image(bytes) +
                ", HintDescript = " + Image(bytes) + " },";
    children += "GLevelJumpButton{ name = 'jump', x = 60, y = 60, w = 30, h = 30, enabled = " +
                Bool(bytes) + " },";
    children += "Label{ name = 'arrow', x = 0, y = 0, w = 160, h = 120, xc = " + Number(bytes) +
                ", yc = " + Number(bytes) + ", angle = " + Number(bytes) +
                ", length = " + Number(bytes) + ", image = " + Image(bytes) + " },";
    children += "GPowerMeterSelector{ name = 'selector', button_template_name = " +
                Quoted(Template(bytes, "pw_%d")) + ", buttons_num = " + Number(bytes) + " },";
    children += Child(bytes, "GPowerMeterButton", "pw_0") +
                Child(bytes, "GPowerMeterButton", "pw_1") + Child(bytes, "Text", "power_name") +
                Child(bytes, "Text", "power_hint");
    const std::string screen = "(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 160, h = 120, "
                               "ScoreLabelsTemplateName = " +
                               Quoted(Template(bytes, "score_%d")) +
                               ", ScoreLabelsNum = " + Number(bytes) + ", " + children + "})()";

    PushScreen("game");
    script->DoLuaString(screen.c_str());
    Draw();
    for (int step = bytes.Byte() % 24; step > 0 && !bytes.Empty(); --step) {
        Step(bytes);
    }
    Draw();

    CloseScreens();
    return 0;
}
