#include "platform/win32/userstate.h"
#include "tests/platform/win32/wintest.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

std::string ProgramInWindowsForm() {
    std::string path = std::filesystem::read_symlink("/proc/self/exe").string();
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

TEST(ModuleFile, ProgramFileInWindowsForm) {
    const std::string expected = ProgramInWindowsForm();
    char buffer[MAX_PATH];
    for (HMODULE module : {static_cast<HMODULE>(nullptr), GetModuleHandleA(nullptr)}) {
        EXPECT_EQ(GetModuleFileNameA(module, buffer, sizeof buffer), expected.size());
        EXPECT_EQ(std::string(buffer), expected);
    }
    // Cut, with its NUL, when the buffer is short.
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(buffer), expected.substr(0, 4));
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1234), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
}

TEST(ModuleFile, ShortPathIsThePathItself) {
    char buffer[16];
    EXPECT_EQ(GetShortPathNameA("\\work\\game\\", buffer, sizeof buffer), 11u);
    EXPECT_STREQ(buffer, "\\work\\game\\");
    // Too small: the size needed, with the NUL.
    EXPECT_EQ(GetShortPathNameA("\\a\\much\\longer\\path", buffer, sizeof buffer), 20u);
    EXPECT_EQ(GetShortPathNameA(nullptr, buffer, sizeof buffer), 0u);
}

class VersionBlock : public ::testing::Test {
protected:
    void TearDown() override { standin::UseBuiltVersionBlock(); }

    // The version string and two strings as the engine reads them; false without a block.
    bool Read(std::string& version, std::string& product, std::string& tag) {
        const std::string program = ProgramInWindowsForm();
        DWORD handle = 1;
        const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &handle);
        EXPECT_EQ(handle, 0u);
        if (size == 0) {
            return false;
        }
        std::vector<BYTE> block(size);
        EXPECT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        EXPECT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
        EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionLS));
        char* text = nullptr;
        product = VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName",
                                 reinterpret_cast<LPVOID*>(&text), &length)
                      ? std::string(text, length - 1)
                      : "<none>";
        tag = VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\internalname",
                             reinterpret_cast<LPVOID*>(&text), &length)
                  ? std::string(text, length - 1)
                  : "<none>";
        return true;
    }
};

TEST_F(VersionBlock, BuiltFromTheProjectVersion) {
    std::string version, product, tag;
    ASSERT_TRUE(Read(version, product, tag));
    EXPECT_EQ(version, "1.0.0.0");
    EXPECT_EQ(product, "Marivell");
    EXPECT_EQ(tag, "1.0.0");
}

TEST_F(VersionBlock, ScriptedMissingAndOtherFiles) {
    standin::SetVersionBlock({2, 5, 7, 11, {{"ProductName", "  Spaced"}, {"Comments", "x"}}});
    std::string version, product, tag;
    ASSERT_TRUE(Read(version, product, tag));
    EXPECT_EQ(version, "2.5.7.11");
    EXPECT_EQ(product, "  Spaced");
    EXPECT_EQ(tag, "<none>");
    standin::RemoveVersionBlock();
    EXPECT_FALSE(Read(version, product, tag));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    standin::UseBuiltVersionBlock();
    DWORD handle = 0;
    EXPECT_EQ(GetFileVersionInfoSizeA("\\usr\\bin\\env", &handle), 0u);
    char bogus[32] = "not a version block";
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueA(bogus, "\\", &value, &length));
}

TEST(CodePages, ConversionsBothWays) {
    struct TCase {
        const char* name;
        UINT codePage;
        std::string narrow;
        std::u16string wide;
    };
    const TCase cases[] = {
        {"ASCII", CP_UTF8, "Kelvane", u"Kelvane"},
        {"UTF-8, two and three bytes", CP_UTF8, "\xc3\xa9\xe2\x82\xac", u"\u00e9\u20ac"},
        {"UTF-8 beyond the basic plane", CP_UTF8, "\xf0\x9f\x98\x80", u"\U0001F600"},
        {"Windows-1252", CP_ACP, "Caf\xe9 \x80\x99", u"Caf\u00e9 \u20ac\u2122"},
    };
    for (const TCase& item : cases) {
        char16_t wide[32] = {};
        const int units = MultiByteToWideChar(item.codePage, 0, item.narrow.c_str(), -1, wide, 32);
        EXPECT_EQ(units, static_cast<int>(item.wide.size() + 1)) << item.name;
        EXPECT_EQ(std::u16string(wide), item.wide) << item.name;
        EXPECT_EQ(MultiByteToWideChar(item.codePage, 0, item.narrow.c_str(), -1, nullptr, 0), units)
            << item.name;
        char narrow[32] = {};
        EXPECT_EQ(WideCharToMultiByte(item.codePage, 0, wide, -1, narrow, 32, nullptr, nullptr),
                  static_cast<int>(item.narrow.size() + 1))
            << item.name;
        EXPECT_EQ(std::string(narrow), item.narrow) << item.name;
    }
}

TEST(CodePages, FailuresAndReplacements) {
    char16_t wide[4];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcdef", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xc3(", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xc3(", 2, wide, 4), 2);
    EXPECT_EQ(wide[0], 0xFFFD);
    EXPECT_EQ(wide[1], u'(');
    EXPECT_EQ(MultiByteToWideChar(932, 0, "a", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    char narrow[8];
    BOOL defaulted = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u4e2d", -1, narrow, 8, nullptr, &defaulted), 3);
    EXPECT_STREQ(narrow, "a?");
    EXPECT_TRUE(defaulted);
}

TEST(MessageBoxes, ScriptedAnswersAndHeadlessDefaults) {
    standin::TakeMessageBoxes();
    standin::SetMessageBoxAnswers({IDNO, IDRETRY});
    EXPECT_EQ(MessageBoxA(nullptr, "Question?", "Title", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Again?", nullptr, MB_RETRYCANCEL), IDRETRY);
    struct TCase {
        UINT type;
        int answer;
    };
    // Without a display (SDL's dummy driver) a box takes its default button.
    const TCase defaults[] = {{MB_OK | MB_ICONEXCLAMATION, IDOK},
                              {MB_OKCANCEL, IDOK},
                              {MB_YESNO | MB_DEFBUTTON2, IDNO},
                              {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                              {MB_ABORTRETRYIGNORE, IDABORT}};
    for (const TCase& item : defaults) {
        EXPECT_EQ(MessageBoxA(nullptr, "text", "Error", item.type), item.answer) << item.type;
    }
    const auto shown = standin::TakeMessageBoxes();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0].text, "Question?");
    EXPECT_EQ(shown[0].caption, "Title");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(shown[1].caption, "Error");
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

// A box is as wide as its longest line: long lines are broken at blanks so that it fits the
// screen, and nothing else of the text changes.
TEST(MessageBoxes, LongLinesAreWrappedAtBlanks) {
    struct TCase {
        const char* text;
        std::size_t columns;
        const char* expected;
    };
    const TCase cases[] = {
        {"short", 40, "short"},
        {"aaa bbb ccc", 7, "aaa bbb\nccc"},
        {"aaa bbb ccc", 5, "aaa\nbbb\nccc"},
        {"aaa bbb ccc", 3, "aaa\nbbb\nccc"},
        {"abcdefghij", 4, "abcd\nefgh\nij"},
        {"ab\ncd ef", 5, "ab\ncd ef"},
        {"\xC3\xA4\xC3\xA4 \xC3\xA4\xC3\xA4", 2, "\xC3\xA4\xC3\xA4\n\xC3\xA4\xC3\xA4"},
        {"", 10, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(standin::detail::WrapBoxText(c.text, c.columns), c.expected) << c.text;
    }
    // The crash box's text on a 1280-pixel screen: lines of at most 120 characters, the same
    // words in the same order.
    const std::string crash =
        "Error occured! Press \"Yes\" for create full dump( large size ),\"No\" for create mini "
        "dump or \"Cancel\" not create dump;Please send crash.mdp to developers! Thank you.... ";
    const std::string wrapped = standin::detail::WrapBoxText(crash, 120);
    std::string joined = wrapped;
    std::size_t longest = 0;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= wrapped.size(); ++at) {
        if (at == wrapped.size() || wrapped[at] == '\n') {
            longest = std::max(longest, at - start);
            start = at + 1;
            if (at < wrapped.size()) {
                joined[at] = ' ';
            }
        }
    }
    EXPECT_LE(longest, 120U);
    EXPECT_NE(wrapped, crash);
    EXPECT_EQ(joined, crash);
}

TEST(Clipboard, TextRoundTripAndErrors) {
    const auto put = [](UINT format, const void* data, size_t bytes) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::memcpy(GlobalLock(block), data, bytes);
        GlobalUnlock(block);
        return SetClipboardData(format, block) != nullptr;
    };
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(put(CF_TEXT, "Caf\xe9", 5));
    EXPECT_TRUE(CloseClipboard());

    ASSERT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE text = GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(text)), "Caf\xe9");
    GlobalUnlock(text);
    HANDLE wide = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(wide))), u"Caf\u00e9");
    GlobalUnlock(wide);
    // Only one thread has the clipboard open at a time.
    bool otherOpened = true;
    std::thread([&otherOpened] { otherOpened = OpenClipboard(nullptr) != FALSE; }).join();
    EXPECT_FALSE(otherOpened);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(2)); // CF_BITMAP is never offered
}

TEST(GlobalMemory, LockCountsAndFree) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 10u);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    EXPECT_EQ(bytes[9], 0);
    EXPECT_EQ(GlobalLock(block), bytes);
    EXPECT_TRUE(GlobalUnlock(block));  // still locked once
    EXPECT_FALSE(GlobalUnlock(block)); // now unlocked
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GlobalLock(block), nullptr);
}

} // namespace

namespace {

TEST(ShellExecute, RecordedWithoutADisplay) {
    standin::TakeShellExecutes();
    struct TCase {
        const char* verb;
        const char* file;
        const char* parameters;
        std::intptr_t result; // above 32: started (here: recorded only)
    };
    const TCase cases[] = {
        {"open", "http://example.invalid/", nullptr, 42},
        {nullptr, "browser", "http://example.invalid/", 42},
        {"print", "document.txt", nullptr, SE_ERR_NOASSOC},
        {"open", "", nullptr, SE_ERR_FNF},
    };
    for (const TCase& item : cases) {
        const auto result = reinterpret_cast<std::intptr_t>(
            ShellExecuteA(nullptr, item.verb, item.file, item.parameters, nullptr, SW_SHOWNORMAL));
        EXPECT_EQ(result, item.result) << item.file;
    }
    const auto launched = standin::TakeShellExecutes();
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[0].file, "http://example.invalid/");
    EXPECT_EQ(launched[0].parameters, "");
    EXPECT_EQ(launched[1].file, "browser");
    EXPECT_EQ(launched[1].parameters, "http://example.invalid/");
}

} // namespace
