// The window manager and window script of a platform made for one test, over a headless display
// whose back buffer is the root screen, with images and fonts served from memory: the ground for
// the image, text and button windows. Windows are built from Lua descriptions through the window
// script, as dialog files build them.
#pragma once

#include "engine/media/minivecdraw.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "engine/ui/message.h"
#include "engine/ui/stringtable.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "tests/engine/media/texture_fixture.h"
#include "tests/engine/ui/frame_fixture.h"
#include "tests/engine/ui/text_fixture.h"
#include "tests/engine/ui/windowscript_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace widget_test {

using manager_test::MakeEvent;
using manager_test::Text;
using texture_test::TBytes;

inline constexpr int kScreenWidth = 160;
inline constexpr int kScreenHeight = 120;

// `width` x `height` RGB pixels from a function of (x, y) giving 0xRRGGBB.
template <class F>
TBytes PatternPng(int width, int height, F pixel) {
    texture_test::TPngImage params;
    params.width = width;
    params.height = height;
    params.colorType = PNG_COLOR_TYPE_RGB;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = pixel(x, y);
            params.rows.push_back(static_cast<unsigned char>(rgb >> 16));
            params.rows.push_back(static_cast<unsigned char>(rgb >> 8));
            params.rows.push_back(static_cast<unsigned char>(rgb));
        }
    }
    return texture_test::EncodePng(params);
}

class TWidgetTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        RegisterWindowSystem();
        TWin32Platform& record = MakePlatform();
        mHandler = &OpenDisplay(32, kScreenWidth, kScreenHeight);
        // Text is drawn through the platform record's glyph renderer.
        auto* drawer = new TQzMiniVecDraw;
        drawer->SelfTest();
        record.mGlyphRenderer = drawer;
        Manager()->CreateRootScreen(kScreenWidth, kScreenHeight);
        Script()->DoLuaString(manager_test::kTestLibrary);
    }

    void TearDown() override {
        if (TPlatform* platform = TPlatform::GetInstance()) {
            TWin32Platform* record = platform->GetWin32();
            delete record->mGlyphRenderer;
            record->mGlyphRenderer = nullptr;
        }
        TTextureTest::TearDown();
    }

    static TWindowManager* Manager() { return GetWindowManager(); }
    static TWindowScript* Script() { return Manager()->GetWindowScript(); }
    static void Run(const std::string& text) { Script()->DoLuaString(text.c_str()); }
    static std::string Global(const char* name) { return Text(Script()->GetGlobalString(name)); }

    // Builds the description (Lua text of a window constructor call) in the top modal window.
    static void Build(const std::string& description) {
        Script()->ResetCreationStack(Manager()->GetTopModal());
        Run("(" + description + ")()");
    }

    template <class T = TWindow>
    static T* Find(const char* name) {
        TWindow* top = Manager()->GetTopModal();
        TWindow* window = top != nullptr ? top->FindChild(name, -1) : nullptr;
        return static_cast<T*>(window);
    }

    // A dialog layer pushed over the top modal window, as PushModal in Lua makes it.
    TModalWindow* PushDialog(const char* name, TRect rect) {
        auto* dialog = new TModalWindow;
        dialog->SetName(name);
        dialog->MoveTo(rect.left, rect.top);
        dialog->SetSize(rect.right - rect.left, rect.bottom - rect.top);
        Manager()->PushModal(dialog);
        return dialog;
    }

    // The labels of the string table the text windows translate with.
    static void AddStrings(const std::vector<std::pair<std::string, std::string>>& rows) {
        std::string sheet = "<?xml version=\"1.0\"?><Workbook><Table>\n";
        for (const auto& row : rows) {
            sheet += "<Row><Cell><Data ss:Type=\"String\">" + row.first +
                     "</Data></Cell><Cell><Data ss:Type=\"String\">" + row.second +
                     "</Data></Cell></Row>\n";
        }
        sheet += "</Table></Workbook>";
        auto* table = static_cast<TStringTable*>(TPlatform::GetInstance()->GetStringTable());
        table->AddRows(sheet.data(), sheet.size());
    }

    // Screen coordinates.
    void Click(int x, int y) {
        Send(MakeEvent(kEventMouseMove, x, y));
        Send(MakeEvent(kEventLeftDown, x, y));
        Send(MakeEvent(kEventLeftUp, x, y));
    }
    void Send(const TEvent& event) { Manager()->HandleEvent(event); }

    // The messages no window took, as "kind name", taken from the script's queue.
    static std::vector<std::string> ScriptMessages() {
        Run("gSeen = '' for i = 1, table.getn(gMessageQueue) do "
            "gSeen = gSeen .. gMessageQueue[i].type .. ' ' .. gMessageQueue[i].name .. '|' end "
            "gMessageQueue = {}");
        std::vector<std::string> out;
        std::string seen = Global("gSeen");
        for (size_t end = seen.find('|'); end != std::string::npos; end = seen.find('|')) {
            out.push_back(seen.substr(0, end));
            seen.erase(0, end + 1);
        }
        return out;
    }

    // The queued messages as "kind name", without delivering them.
    static std::vector<std::string> Queued() {
        std::vector<std::string> out;
        for (const TMessage* message : Manager()->GetQueuedMessages()) {
            out.push_back(std::to_string(message->GetKind()) + " " + Text(message->GetName()));
        }
        return out;
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    // The frame drawn by the window manager, read back from the back buffer.
    standin::TScreenImage DrawFrame() {
        return frame_test::DrawModalStackFrame(*mHandler, *Manager(),
                                               TRect{0, 0, kScreenWidth, kScreenHeight});
    }

    TDxDisplayHandler* mHandler = nullptr;
    text_test::TTextFonts mFonts;
};

} // namespace widget_test
