#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <deque>

namespace {

using namespace standin::detail;

std::mutex gBoxLock;
std::deque<int> gAnswers;
std::vector<standin::TMessageBoxRecord> gShown;

struct TButton {
    int id;
    const char* text;
};

std::vector<TButton> ButtonsOf(UINT type) {
    switch (type & 0x0F) {
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default:
        return {{IDOK, "OK"}};
    }
}

// The box's font averages about 8 pixels a character; three quarters of the screen leaves room
// for its margins and a window frame.
constexpr int kBoxGlyphWidth = 8;
constexpr std::size_t kMinBoxColumns = 40;

std::size_t BoxColumns() {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0) {
        return 100;
    }
    return std::max(kMinBoxColumns, static_cast<std::size_t>(usable.w * 3 / 4 / kBoxGlyphWidth));
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

namespace standin::detail {

std::string WrapBoxText(const std::string& text, std::size_t columns) {
    std::string out;
    std::size_t lineStart = 0;  // in out
    std::size_t lastBlank = 0;  // in out, after lineStart when there is one
    std::size_t characters = 0; // on the current line
    for (const char c : text) {
        if (c == '\n') {
            out += c;
            lineStart = out.size();
            lastBlank = 0;
            characters = 0;
            continue;
        }
        if (!IsContinuationByte(c) && characters == columns) {
            if (c == ' ') {
                out += '\n';
                lineStart = out.size();
                lastBlank = 0;
                characters = 0;
                continue;
            }
            if (lastBlank > lineStart) {
                out[lastBlank] = '\n';
                lineStart = lastBlank + 1;
                characters = 0;
                for (std::size_t i = lineStart; i < out.size(); ++i) {
                    characters += IsContinuationByte(out[i]) ? 0 : 1;
                }
            } else {
                out += '\n';
                lineStart = out.size();
                characters = 0;
            }
            lastBlank = 0;
        }
        if (c == ' ') {
            lastBlank = out.size();
        }
        out += c;
        characters += IsContinuationByte(c) ? 0 : 1;
    }
    return out;
}

} // namespace standin::detail

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const std::vector<TButton> buttons = ButtonsOf(type);
    const size_t defaultIndex = std::min<size_t>((type >> 8) & 0x0F, buttons.size() - 1);
    {
        std::lock_guard<std::mutex> hold(gBoxLock);
        gShown.push_back(standin::TMessageBoxRecord{owner, text != nullptr ? text : "",
                                                    caption != nullptr ? caption : "Error", type});
        if (!gAnswers.empty()) {
            const int answer = gAnswers.front();
            gAnswers.pop_front();
            return answer;
        }
    }
    const std::string title = Utf8FromAnsi(caption != nullptr ? caption : "Error");
    std::string body = Utf8FromAnsi(text != nullptr ? text : "");
    // Nobody could answer a box without a display: it takes its default button at once.
    if ((SDL_WasInit(SDL_INIT_VIDEO) == 0 && !EnsureSdlVideo()) || HeadlessVideo()) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
        return buttons[defaultIndex].id;
    }
    body = WrapBoxText(body, BoxColumns());
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < buttons.size(); ++i) {
        Uint32 flags = 0;
        if (i == defaultIndex) {
            flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        }
        if (buttons[i].id == IDCANCEL || (buttons.size() == 1)) {
            flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        }
        data.push_back(SDL_MessageBoxButtonData{flags, buttons[i].id, buttons[i].text});
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (type & 0xF0) {
    case MB_ICONHAND:
        flags = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONEXCLAMATION:
        flags = SDL_MESSAGEBOX_WARNING;
        break;
    default:
        break;
    }
    SDL_Window* parent = nullptr;
    {
        auto hold = std::unique_lock<std::mutex>(SyncLock());
        if (const TWindow* record = WindowOf(TopLevelOf(owner))) {
            parent = record->sdl;
        }
    }
    const SDL_MessageBoxData box{
        flags,       parent, title.c_str(), body.c_str(), static_cast<int>(data.size()),
        data.data(), nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
        return buttons[defaultIndex].id;
    }
    // Closing the box without a button is Cancel where there is one, else the only button.
    if (pressed < 0) {
        for (const auto& button : buttons) {
            if (button.id == IDCANCEL) {
                return IDCANCEL;
            }
        }
        return buttons.front().id;
    }
    return pressed;
}

namespace standin {

void SetMessageBoxAnswers(std::vector<int> answers) {
    std::lock_guard<std::mutex> hold(gBoxLock);
    gAnswers.assign(answers.begin(), answers.end());
}

std::vector<TMessageBoxRecord> TakeMessageBoxes() {
    std::lock_guard<std::mutex> hold(gBoxLock);
    std::vector<TMessageBoxRecord> shown;
    shown.swap(gShown);
    return shown;
}

} // namespace standin
