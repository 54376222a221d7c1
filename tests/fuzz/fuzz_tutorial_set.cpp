// Builds a tutorial set from the input (tutorials with start conditions of every kind, counters,
// links to tutorials that exist or not, isWork answers of any Lua type or errors; steps with
// windows that exist or not, targets, not_block lists, OrderBlock, positions, delays, skip
// buttons; closing conditions by timer, events, clicks and button; post_block and next_tutorial)
// and loads it into a tutorial engine over a small level's game screen with a tutorial window and
// a pause button. Then the input plays a stream of events, wishes, arrivals, clicks, stops,
// skips, button presses, clock ticks, resets, clears, reloads and unloads, the level object's
// removal and the screen's closing against it. ASan and UBSan watch every step.
#include "engine/core/tasklist.h"
#include "engine/ui/button.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GRIndicatorLabel.h"
#include "game/shell/GSceneCtrl.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialWindow.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/world/GGameObject.h"
#include "tests/fuzz/fuzz_game_screen.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

using fuzz_screen::CloseScreens;
using fuzz_screen::Idle;
using fuzz_screen::Number;
using fuzz_screen::PushScreen;
using fuzz_screen::Quoted;
using fuzz_screen::ServeFile;
using fuzz_screen::StartHeadless;

namespace {

const char kSetFile[] = "scripts/stages/tutorial_01.lua";
const char* const kNames[] = {"t0", "t1", "t2", "t3", "none"};
const char* const kEvents[] = {"go", "A", "B", "touchup", "hair", "booth_end"};
const char* const kObjects[] = {"booth", "", "x"};

std::string Pick(TFuzzBytes& bytes, const char* const* list, size_t count) {
    return list[bytes.Byte() % count];
}

std::string Name(TFuzzBytes& bytes) {
    return Quoted(Pick(bytes, kNames, std::size(kNames)));
}

std::string EventName(TFuzzBytes& bytes) {
    return Quoted(Pick(bytes, kEvents, std::size(kEvents)));
}

// A filter table, -1, another number or another Lua type.
std::string Filter(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 6) {
    case 0:
        return "-1";
    case 1:
        return "{ id = " + Quoted(Pick(bytes, kObjects, std::size(kObjects))) + " }";
    case 2:
        return "{ pos = { x = " + Number(bytes) + ", y = " + Number(bytes) + " } }";
    case 3:
        return "{ }";
    case 4:
        return Number(bytes);
    default:
        return "'booth'";
    }
}

std::string List(TFuzzBytes& bytes, std::string (*element)(TFuzzBytes&)) {
    std::string list = "{ ";
    for (int i = bytes.Byte() % 4; i > 0; --i) {
        list += element(bytes) + ", ";
    }
    return list + "}";
}

std::string ClickStep(TFuzzBytes& bytes) {
    if (bytes.Byte() % 2 == 0) {
        return Quoted(Pick(bytes, kObjects, std::size(kObjects)));
    }
    return "{ 'booth', " + Quoted(Pick(bytes, kObjects, std::size(kObjects))) + " }";
}

std::string IsWork(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 5) {
    case 0:
        return "function() return true end";
    case 1:
        return "function() return nil end";
    case 2:
        return "function() error('no') end";
    case 3:
        return "function() return Random(" + Number(bytes) + ", " + Number(bytes) + ") end";
    default:
        return Number(bytes);
    }
}

std::string Initor(TFuzzBytes& bytes) {
    std::string text = "initor = { ";
    const uint8_t keys = bytes.Byte();
    if (keys & 1) {
        text += "action = " + EventName(bytes) + ", ";
    }
    if (keys & 2) {
        text += "wish = " + EventName(bytes) + ", ";
    }
    if (keys & 4) {
        text += "id = " + Quoted(Pick(bytes, kObjects, std::size(kObjects))) +
                ", wait_creating = " + Number(bytes) + ", ";
    }
    if (keys & 8) {
        text += "dependence = " + Name(bytes) + ", ";
    }
    if (keys & 16) {
        text += "wait_tutorial = " + Name(bytes) + ", ";
    }
    if (keys & 32) {
        text += "counter = " + std::to_string(bytes.Byte() % 4) + ", pos = { x = " + Number(bytes) +
                ", y = " + Number(bytes) + " }, ";
    }
    if (keys & 64) {
        text += "isWork = " + IsWork(bytes) + ", ";
    }
    if (keys & 128) {
        text += "not_disabled = " + Number(bytes) + ", ";
    }
    return text + "}, ";
}

std::string Close(TFuzzBytes& bytes) {
    std::string text = "close = { ";
    const uint8_t keys = bytes.Byte();
    if (keys & 1) {
        text += "timer = " + std::to_string(bytes.Byte() * 4) + ", ";
    }
    if (keys & 2) {
        text +=
            "action = " + (bytes.Byte() % 2 ? EventName(bytes) : List(bytes, &EventName)) + ", ";
    }
    if (keys & 4) {
        text += "click = " + (bytes.Byte() % 2 ? ClickStep(bytes) : List(bytes, &ClickStep)) + ", ";
    }
    if (keys & 8) {
        text += "button = 'ok', ";
    }
    return text + "}, ";
}

std::string Message(TFuzzBytes& bytes) {
    std::string text = "message = { window = " + std::string(bytes.Byte() % 4 ? "'tw'" : "'no'") +
                       ", msg = " + (bytes.Byte() % 3 ? "'hello'" : "''") + ", ";
    const uint16_t keys = static_cast<uint16_t>(bytes.Byte() | (bytes.Byte() << 8));
    if (keys & 1) {
        text += "stop = 1, ";
    }
    if (keys & 2) {
        text += "transferring = " + Number(bytes) + ", ";
    }
    if (keys & 4) {
        text += "not_block = " + List(bytes, &Filter) +
                ", OrderBlock = " + std::to_string(bytes.Byte() % 4) + ", ";
    }
    if (keys & 8) {
        text += "target = " + (bytes.Byte() % 2 ? Filter(bytes) : List(bytes, &Filter)) + ", ";
    }
    if (keys & 16) {
        text += "HideArrows = 1, ";
    }
    if (keys & 32) {
        text += "position = { x = " + Number(bytes) + ", y = " + Number(bytes) + ", target = { " +
                std::to_string(bytes.Byte() % 4) + " } }, ";
    }
    if (keys & 64) {
        text += "delay = " + std::to_string(bytes.Byte()) + ", ";
    }
    if (keys & 128) {
        text += "skipeable = 0, ";
    }
    if (keys & 256) {
        text += "SkipButtonId = 'later', FixedSkipButton = true, ";
    }
    if (keys & 512) {
        text += Close(bytes);
    }
    return text + "}, ";
}

std::string Set(TFuzzBytes& bytes) {
    std::string text = "tutorials = {\n";
    for (int i = bytes.Byte() % 6; i > 0; --i) {
        text += "  [" + Name(bytes) + "] = { ";
        const uint8_t keys = bytes.Byte();
        if (keys & 1) {
            text += Initor(bytes);
        }
        if (keys & 2) {
            text += Message(bytes);
        }
        if (keys & 4) {
            text += "post_block = 1, ";
        }
        if (keys & 8) {
            text += "next_tutorial = " + Name(bytes) + ", ";
        }
        text += "},\n";
    }
    return text + "}\n";
}

GGameObject* Booth() {
    GLevel* level = GLogicalManager::Instance().GetLevel();
    if (level == nullptr || level->GetObjects().empty()) {
        return nullptr;
    }
    return level->GetObjects().front();
}

void RunMainTasks() {
    for (int pass = 0; pass < 2; ++pass) {
        TPlatform::GetInstance()->GetTaskList()->Run(0);
    }
}

void PressButton(bool ok) {
    GTutorialWindow* window = GTutorialWindowManager::Instance().GetCurrentWindow();
    TButton* button = window == nullptr ? nullptr
                      : ok              ? window->GetOkButton()
                                        : window->GetSkipButton();
    if (button != nullptr) {
        button->RunCommand();
    }
    RunMainTasks();
}

void Step(TFuzzBytes& bytes, GTutorialProcessor& processor, bool& screenOpen) {
    const std::string event = Pick(bytes, kEvents, std::size(kEvents));
    switch (bytes.Byte() % 16) {
    case 0:
    case 1:
        processor.OnGameEvent(Booth(), event.c_str());
        break;
    case 2:
        processor.OnClick(Booth());
        break;
    case 3:
        processor.StopTutorial(bytes.Byte() % 2 == 0);
        break;
    case 4:
        processor.SkipTutorial();
        break;
    case 5:
        processor.QueueNamedEvent(Booth(), event.c_str());
        break;
    case 6:
        processor.QueueObjectEvent(Booth());
        break;
    case 7:
    case 8:
        standin::AdvanceTime(bytes.Byte());
        Idle();
        break;
    case 9:
        PressButton(bytes.Byte() % 2 == 0);
        break;
    case 10:
        processor.Reset();
        break;
    case 11:
        processor.Clear();
        processor.LoadFile(kSetFile);
        break;
    case 12:
        if (bytes.Byte() % 2 == 0) {
            processor.UnloadSet(kSetFile);
        } else {
            processor.LoadFile(kSetFile);
        }
        break;
    case 13:
        if (GGameObject* booth = Booth()) {
            GLogicalManager::Instance().RemoveObject(booth, true);
        }
        break;
    case 14:
        if (screenOpen && bytes.Byte() % 4 == 0) {
            GetWindowManager()->DoPopModal("game");
            Idle();
            screenOpen = false;
        }
        break;
    default:
        processor.OnTouchUpEnd(Booth());
        processor.OnDragEnd(Booth());
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // The players' marks land in a folder of the run's own.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "fuzz_tutorial_set";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    StartHeadless({{"GGameWnd", &GGameWnd::Create},
                   {"GGameCtrl", &GGameCtrl::Create},
                   {"GSceneCtrl", &GSceneCtrl::Create},
                   {"TutorialWindow", &GTutorialWindow::Create},
                   {"Label", &GRIndicatorLabel::Create}});
    ServeFile("scripts/stages/tutorials.lua", "tutorials = {}");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    TWindowScript* script = GetWindowManager()->GetWindowScript();
    script->DoLuaString("gLevelNum = 1 gStageNum = 1");
    const std::string set = Set(bytes);
    ServeFile(kSetFile, set.c_str());
    standin::SetMessageBoxAnswers(std::vector<int>(16, IDOK));

    PushScreen("game");
    script->DoLuaString("(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, "
                        "GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }, "
                        "Button{ name = 'pause', x = 700, y = 5, w = 30, h = 20 }, "
                        "TutorialWindow{ name = 'tw', x = 0, y = 0, w = 200, h = 100, "
                        "Bitmap{ name = 'imgBG', x = 140, y = 60, w = 60, h = 40 }, "
                        "Text{ name = 'txtMessage', x = 0, y = 0, w = 200, h = 20, label = '' }, "
                        "Label{ name = 'arwArrow', x = 0, y = 0, w = 30, h = 20 }, "
                        "Button{ name = 'btnOK', x = 10, y = 70, w = 40, h = 20 }, "
                        "Button{ name = 'btnSkip', x = 150, y = 70, w = 40, h = 20 } } })()");
    {
        auto processor = std::make_unique<GTutorialProcessor>();
        processor->Load("scripts/stages/tutorials.lua");
        processor->LoadFile(kSetFile);
        bool screenOpen = true;
        while (!bytes.Empty()) {
            Step(bytes, *processor, screenOpen);
        }
    }
    RunMainTasks();
    CloseScreens();
    standin::TakeMessageBoxes();
    RegisterMemoryFile(kSetFile, nullptr, 0);
    return 0;
}
