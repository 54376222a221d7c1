#include "engine/system/platform.h"

#include "engine/core/assetmanager.h"
#include "engine/core/cipher.h"
#include "engine/core/computerid.h"
#include "engine/core/enginetime.h"
#include "engine/core/filescan.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/xml.h"
#include "engine/core/xmlcheck.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/portal.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/windows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

TPlatform* TPlatform::sInstance = nullptr;
uint32_t TPlatform::sStartTime = 0;

namespace {

// Files of a user or common folder that add rows to the string table: the known-file keys are
// whole names ("user:strings_fr.xml"), so the test looks at the part after the root.
void LoadExtraStringTables(TStringTableLink* table, const char* root) {
    const size_t rootLength = std::strlen(root);
    str name;
    while (FindNextKnownFile(root, &name, false)) {
        const char* file = name.CStr() + rootLength;
        if (std::strncmp(file, "string", 6) == 0 && std::strstr(file, ".xml") != nullptr) {
            table->LoadFile(name);
        }
    }
}

struct TShutdownHook {
    int id;
    std::function<void()> run;
};

std::vector<TShutdownHook>& ShutdownHooks() {
    static std::vector<TShutdownHook> hooks;
    return hooks;
}

} // namespace

int AddShutdownHook(std::function<void()> hook) {
    static int lastId = 0;
    ShutdownHooks().push_back(TShutdownHook{++lastId, std::move(hook)});
    return lastId;
}

void RemoveShutdownHook(int id) {
    std::erase_if(ShutdownHooks(), [id](const TShutdownHook& hook) { return hook.id == id; });
}

TPlatform::TPlatform(TWin32Platform* win32) : mWin32(win32) {
    sInstance = this;
    SetEngineTimeSource(&TPlatform::GetTime);
    SetAssetManager(mWin32->mAssetManager);
    SetSettingChangedHook(&TPlatform::OnSettingChanged);

    SetSetting("memorymax", "100000000");
    SetSetting("texturememorymax", "100000000");
    SetSetting("utf8modeinit", GetSetting("utf8mode", ""));

    mWin32->mWindowManager->SetScript(CreateWindowScript());

    SetSetting("computerid", ComputeComputerId());

    // The reader takes what it can of a damaged file; the log says why settings are missing.
    XmlLogIfFileMalformed("::assets/settings.xml");
    TXmlNode document;
    if (document.LoadFile("::assets/settings.xml")) {
        if (TXmlNode* settings = document.FindChild("settings")) {
            settings->ResetChildren();
            str tag;
            TXmlNode* child = nullptr;
            while (settings->NextChild(tag, child)) {
                SetSetting(tag, child->GetText());
            }
        }
    }

    SetFolderRoots(mWin32->mUserFolder, mWin32->mCommonFolder, mWin32->mDesktopFolder);

    if (IsEnabled("firstpeek")) {
        SetFirstPeek(true);
    }
    BuildKnownFiles();

    if (mWin32->mStringTable->Load("strings.xml")) {
        mWin32->mWindowManager->SetTranslateLabels(true);
    }
    LoadExtraStringTables(mWin32->mStringTable, "user:");
    LoadExtraStringTables(mWin32->mStringTable, "common:");

    SetSetting("buildtag", mWin32->mBuildTag);
    Log("%s, version %s.", mWin32->mGameName.CStr(), mWin32->mVersion.CStr());
    SetSetting("gamename", mWin32->mGameName);
    SetSetting("version", mWin32->mVersion);
}

TPlatform::~TPlatform() {
    // The cursor thread reads the window manager: it must be gone before anything it uses is.
    mWin32->StopCursorThread();
    delete mWin32->mWindowManager;
    mWin32->mWindowManager = nullptr;
    mWin32->mTaskList.Clear();
    // A copy: a hook may add or remove hooks.
    const std::vector<TShutdownHook> hooks = ShutdownHooks();
    for (const TShutdownHook& hook : hooks) {
        if (hook.run) {
            hook.run();
        }
    }
    delete mWin32->mSoundManager;
    mWin32->mSoundManager = nullptr;
    delete mWin32->mGlyphRenderer;
    mWin32->mGlyphRenderer = nullptr;
    DestroyRenderer();
    sInstance = nullptr;
    SetEngineTimeSource(TEngineTimeSource());
    SetAssetManager(nullptr);
    SetSettingChangedHook(nullptr);
    delete TGameState::Peek();
    if (mWin32->mStringTable != nullptr) {
        mWin32->mStringTable->Clear();
        delete mWin32->mStringTable;
        mWin32->mStringTable = nullptr;
    }
    delete mWin32->mAssetManager;
    mWin32->mAssetManager = nullptr;
    delete mWin32;
    mWin32 = nullptr;
    ClearSettings();
    ClearKnownFiles();
}

TPlatform* TPlatform::GetInstance() {
    return sInstance;
}

void TPlatform::OnSettingChanged(const str& key, const str& value) {
    if (key == "vsync") {
        Display().SetVSync(value.ToInt() != 0);
    } else if (key == "memorymax") {
        SetLogFolder(str::FromFormat("__MEMORYMAX__=%d", value.ToInt()).CStr());
    } else if (key == "viewportscale") {
        if (sInstance != nullptr) {
            sInstance->mWin32->mViewportScale = value.ToFloat();
        }
    }
}

TAssetManager* TPlatform::GetAssetManager() const {
    return mWin32->mAssetManager;
}

TWindowManagerLink* TPlatform::GetWindowManager() const {
    return mWin32->mWindowManager;
}

TStringTableLink* TPlatform::GetStringTable() const {
    return mWin32->mStringTable;
}

TSoundManagerLink* TPlatform::GetSoundManager() const {
    return mWin32->mSoundManager;
}

bool TPlatform::InitSound() {
    if (mWin32->mSoundManager == nullptr) {
        mWin32->mSoundManager = CreateSoundManager();
        if (mWin32->mSoundManager == nullptr) {
            return false;
        }
    }
    return mWin32->mSoundManager->Init();
}

TTaskList* TPlatform::GetTaskList() const {
    return &mWin32->mTaskList;
}

void TPlatform::AddTask(TTask* task) {
    mWin32->mTaskList.Add(task);
}

bool TPlatform::RemoveTask(TTask* task) {
    return mWin32->mTaskList.Remove(task);
}

void TPlatform::AddRestoreTask(TTask* task) {
    mRestoreTasks.Add(task);
}

bool TPlatform::RemoveRestoreTask(TTask* task) {
    return mRestoreTasks.Remove(task);
}

void TPlatform::CreateMainWindow() {
    mWin32->CreateMainWindow(this);
}

void TPlatform::GetEvent(TEvent* event) {
    mWin32->GetEvent(event);
}

uint32_t TPlatform::GetTime() {
    // The portal's paused total includes a pause still on, so engine time stands still while
    // the host keeps the game paused and never steps back when it resumes. Unsigned subtraction
    // keeps the difference right across timeGetTime's wrap.
    return TicksLessPortalPauses() - sStartTime;
}

void TPlatform::ResetTime(uint32_t start) {
    sStartTime = start;
}

void TPlatform::Sleep(int ms) {
    ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

void TPlatform::PostQuit(int code) {
    PostQuitMessage(code);
}

bool TPlatform::IsForeground() const {
    HWND foreground = GetForegroundWindow();
    HWND main = mWin32->mMainWindow;
    if (main == nullptr) {
        return false;
    }
    if (foreground == main) {
        return true;
    }
    if (IsPqMode() && foreground != nullptr) {
        for (HWND ancestor = GetParent(main); ancestor != nullptr; ancestor = GetParent(ancestor)) {
            if (ancestor == foreground) {
                return true;
            }
        }
    }
    return false;
}

bool TPlatform::IsFullScreen() const {
    if (IsPqMode()) {
        return gPortalHostFullScreen;
    }
    return Display().Exists() && Display().IsFullscreen();
}

bool TPlatform::SetFullScreen(bool fullScreen) {
    if (IsPqMode()) {
        // The host shows the game full screen; the display itself stays windowed.
        SendMessageA(gPortalHostWindow, WM_USER, fullScreen ? 1 : 0, 0);
        gPortalHostFullScreen = fullScreen;
        Display().SetFullscreen(false);
        return true;
    }
    return Display().SetFullscreen(fullScreen);
}

void TPlatform::SetDisplay(int width, int height, bool fullScreen) {
    TRect root{};
    if (!mWin32->mWindowManager->GetRootRect(&root)) {
        mWin32->mWindowManager->CreateRootScreen(width, height);
    }
    mWin32->SetDisplay(width, height, fullScreen);
    Renderer().PopClipRect();
    Renderer().PushClipRect(TRect{0, 0, width, height});
}

void TPlatform::SetMouseCursor(const TTexturePtr& texture, int hotX, int hotY, bool force) {
    mWin32->SetMouseCursor(texture, hotX, hotY, force);
}

bool TPlatform::SetCursorVisible(bool visible) {
    if (visible == mWin32->mCursorVisible) {
        return visible;
    }
    mWin32->mCursorVisible = visible;
    return Display().ShowCursor(visible);
}

int TPlatform::GetMouseMode() const {
    return mWin32->mMouseMode;
}

bool TPlatform::IsFlipDone() const {
    return Display().IsFlipDone();
}

void TPlatform::OnOutOfVideoMemory() {
    Display().OnOutOfVideoMemory();
}

void TPlatform::SetWindowTitle(const str& title) {
    if (!mWin32->mUtf8Mode) {
        SetWindowTextA(mWin32->mMainWindow, title.CStr());
        return;
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, title.CStr(), -1, nullptr, 0);
    std::vector<char16_t> wide(length > 0 ? static_cast<size_t>(length) : 1, u'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, title.CStr(), -1, wide.data(), length);
    }
    SetWindowTextW(mWin32->mMainWindow, wide.data());
}

bool TPlatform::SetClipboardText(const str& text) {
    if (!OpenClipboard(mWin32->mMainWindow)) {
        return false;
    }
    EmptyClipboard();
    const size_t size = static_cast<size_t>(text.Length()) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr) {
        CloseClipboard();
        return false;
    }
    void* bytes = GlobalLock(block);
    if (bytes == nullptr) {
        GlobalFree(block);
        CloseClipboard();
        return false;
    }
    std::memcpy(bytes, text.CStr(), size);
    GlobalUnlock(block);
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
        // Not taken over: still ours to free.
        GlobalFree(block);
        CloseClipboard();
        return false;
    }
    CloseClipboard();
    return true;
}

str TPlatform::GetClipboardText() const {
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(mWin32->mMainWindow)) {
        return str();
    }
    str text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const void* bytes = GlobalLock(data)) {
            // The block need not end in a NUL: never read past it.
            const size_t size = GlobalSize(data);
            text = str(static_cast<const char*>(bytes),
                       static_cast<int>(strnlen(static_cast<const char*>(bytes), size)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

HINSTANCE TPlatform::LaunchUrl(const char* url) {
    if (IsPqMode() && gPortalHostFullScreen) {
        // A browser cannot come up over a host that fills the screen.
        HWND outermost = mWin32->mMainWindow;
        for (HWND parent = GetParent(outermost); parent != nullptr; parent = GetParent(parent)) {
            outermost = parent;
        }
        ShowWindow(outermost, SW_MINIMIZE);
    }
    const char* file = url;
    const char* parameters = nullptr;
    char program[MAX_PATH] = {};
    if (mWin32->mEmbedded) {
        const char* host = gCommandLine != nullptr ? std::strstr(gCommandLine, "-host=") : nullptr;
        if (host != nullptr) {
            host += 6;
            size_t length = std::strcspn(host, " ");
            length = length < MAX_PATH - 1 ? length : MAX_PATH - 1;
            std::memcpy(program, host, length);
            program[length] = '\0';
        }
        // An empty "-host=" names no program: the default browser takes the address.
        file = program[0] != '\0' ? program : "iexplore.exe";
        parameters = url;
    }
    return ShellExecuteA(nullptr, "open", file, parameters, nullptr, SW_SHOWNORMAL);
}

void CreateGuid(TGuid* guid) {
    NewGuid(guid);
}

bool IsDisplayOk() {
    return Display().Exists() && Display().IsReady();
}
