// The crash guard, in child processes: each child faults inside the guard as its case says and
// ends through the stand-in's TerminateProcess, whose hook writes down the boxes it was shown
// first. The sanitizers' own handling of SIGSEGV and SIGFPE is off in the children.
#include "game/shell/GCrashGuard.h"

#include "engine/core/log.h"
#include "engine/script/luabinding.h"
#include "engine/script/script.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kCrashText[] = "Error occured! Press \"Yes\" for create full dump( large size ),\"No\" "
                          "for create mini dump or \"Cancel\" not create dump;Please send "
                          "crash.mdp to developers! Thank you.... ";
constexpr UINT kBoxStyle = MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND;
// Where the children fault: an address no mapping holds, not null, which the sanitizers would
// report before the fault.
constexpr uintptr_t kFaultAddress = 0x10;

// In the child.
HWND gPopup = nullptr;
bool gWriterLoaded = false;

void Fault() {
    volatile uintptr_t address = kFaultAddress;
    *reinterpret_cast<volatile int*>(address) = 1;
}

void FaultInLua(TPlatform* /*platform*/) {
    TScript script;
    LuaPublish(script.GetState(), "Fault", &Fault);
    script.DoLuaString("Fault()");
}

void FaultOnAnotherThread(TPlatform* /*platform*/) {
    std::thread(&Fault).join();
}

void RaiseFpe(TPlatform* /*platform*/) {
    std::raise(SIGFPE);
}

void Nothing(TPlatform* /*platform*/) {}

// The hook of TerminateProcess: what the child saw, for its parent.
void Report(UINT code) {
    std::ofstream report("report.txt");
    report << "writer|" << gWriterLoaded << "\n";
    for (const standin::TMessageBoxRecord& box : standin::TakeMessageBoxes()) {
        const char* owner = box.owner == nullptr ? "none" : box.owner == gPopup ? "popup" : "other";
        report << "box|" << box.caption << "|" << box.type << "|" << owner << "|" << box.text
               << "\n";
    }
    MSG quit{};
    if (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        report << "quit|" << quit.wParam << "\n";
    }
    report << "exit|" << code << "\n";
}

void MakeWindows() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "CrashGuardTest";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowExA(0, "CrashGuardTest", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 100,
                                 100, nullptr, nullptr, nullptr, nullptr);
    gPopup = CreateWindowExA(0, "CrashGuardTest", "popup", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50,
                             owner, nullptr, nullptr, nullptr);
}

// Faults as CRASH_FAULT says ("lua", "fpe", "thread", "after"), with the box answering
// CRASH_ANSWER (then OK), a quit of code CRASH_QUIT waiting when given, and an owner and its
// popup when CRASH_WINDOWS is set. Runs in CRASH_FOLDER, where the engine log goes too.
CHILD_ENTRY(CrashGuardChild) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const std::string folder = std::getenv("CRASH_FOLDER");
    fs::current_path(folder);
    SetLogFolder(folder.c_str());
    gWriterLoaded = LoadMiniDumpWriter();
    standin::SetMessageBoxAnswers({std::atoi(std::getenv("CRASH_ANSWER")), IDOK});
    if (std::getenv("CRASH_WINDOWS") != nullptr) {
        MakeWindows();
    }
    if (const char* quit = std::getenv("CRASH_QUIT")) {
        PostQuitMessage(std::atoi(quit));
    }
    standin::SetTerminateHook(&Report);
    const std::string fault = std::getenv("CRASH_FAULT");
    if (fault == "after") {
        RunGuarded(&Nothing, nullptr);
        Fault();
    } else if (fault == "thread") {
        RunGuarded(&FaultOnAnotherThread, nullptr);
    } else if (fault == "fpe") {
        RunGuarded(&RaiseFpe, nullptr);
    } else {
        RunGuarded(&FaultInLua, nullptr);
    }
    return 99;
}

struct TEnding {
    int exitCode = -1; // -1 when ended by a signal
    int signal = 0;
    std::vector<std::string> report;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Box(const char* text, UINT buttons, const char* owner = "none") {
    return "box|Error|" + std::to_string(buttons | kBoxStyle) + "|" + owner + "|" + text;
}

class CrashGuard : public ::testing::Test {
protected:
    TEnding Crash(const std::string& fault, int answer, std::vector<std::string> extra = {}) {
        std::string asan =
            std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
        extra.push_back("ASAN_OPTIONS=" + asan + ":handle_segv=0:handle_sigfpe=0");
        extra.push_back("TSAN_OPTIONS=handle_segv=0:handle_sigfpe=0:report_signal_unsafe=0");
        extra.push_back("SDL_VIDEODRIVER=dummy");
        extra.push_back("CRASH_FOLDER=" + mFolder.Path().string());
        extra.push_back("CRASH_FAULT=" + fault);
        extra.push_back("CRASH_ANSWER=" + std::to_string(answer));
        mStarted = std::time(nullptr);
        const pid_t child = testing_fixtures::SpawnChild("CrashGuardChild", extra);
        TEnding ending;
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        mEnded = std::time(nullptr);
        if (WIFEXITED(status)) {
            ending.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            ending.signal = WTERMSIG(status);
        }
        ending.report = Lines(mFolder.Read("report.txt"));
        return ending;
    }

    void AddDumpWriter() const {
        fs::copy_file(testing_fixtures::DumpWriterLibrary(), mFolder.Path() / "dbghelp.dll");
    }
    bool HasDump() const { return fs::exists(mFolder.Path() / "crash.mdmp"); }
    std::string Dump() const { return mFolder.Read("crash.mdmp"); }

    testing_fixtures::TempDir mFolder;
    std::time_t mStarted = 0;
    std::time_t mEnded = 0;
};

TEST_F(CrashGuard, AFaultShowsTheBoxAndEndsWithOneWhateverTheAnswer) {
    struct TCase {
        const char* name;
        int answer;
    };
    const TCase cases[] = {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}, {"closed", 0}};
    for (const TCase& item : cases) {
        const TEnding ending = Crash("lua", item.answer);
        EXPECT_EQ(ending.exitCode, 1) << item.name;
        const std::vector<std::string> report = {"writer|0", Box(kCrashText, MB_YESNOCANCEL),
                                                 "exit|1"};
        EXPECT_EQ(ending.report, report) << item.name;
        EXPECT_FALSE(HasDump()) << item.name << ": no dump writer, no file";
        fs::remove(mFolder.Path() / "report.txt");
    }
}

TEST_F(CrashGuard, TheFaultIsLoggedWithABacktraceBeforeTheBox) {
    Crash("lua", IDCANCEL);
    const std::vector<std::string> log = Lines(mFolder.Read("logfile.txt"));
    const std::regex faultLine(R"(^(\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}): Crash: SIGSEGV )"
                               R"(\(signal 11\) at address 0x10 on thread \d+\r$)");
    size_t at = 0;
    std::smatch match;
    while (at < log.size() && !std::regex_match(log[at], match, faultLine)) {
        ++at;
    }
    ASSERT_LT(at, log.size()) << mFolder.Read("logfile.txt");
    // The stamp is the local time of the fault.
    std::tm stamp{};
    ASSERT_NE(strptime(match[1].str().c_str(), "%a %b %d %H:%M:%S %Y", &stamp), nullptr);
    stamp.tm_isdst = -1;
    const std::time_t logged = std::mktime(&stamp);
    EXPECT_GE(logged, mStarted);
    EXPECT_LE(logged, mEnded);

    ASSERT_LT(at + 1, log.size());
    std::smatch frames;
    ASSERT_TRUE(
        std::regex_match(log[at + 1], frames, std::regex(R"(^.*: Backtrace, (\d+) frames:\r$)")));
    const size_t count = std::stoul(frames[1].str());
    EXPECT_GE(count, 3u) << "the handler, the faulting function and its callers";
    ASSERT_GE(log.size(), at + 2 + count);
    for (size_t i = at + 2; i < at + 2 + count; ++i) {
        EXPECT_NE(log[i].find("[0x"), std::string::npos) << log[i];
    }
}

TEST_F(CrashGuard, AWaitingQuitSurvivesTheBoxAndTheBoxBelongsToTheActivePopup) {
    const TEnding ending = Crash("lua", IDNO, {"CRASH_QUIT=7", "CRASH_WINDOWS=1"});
    EXPECT_EQ(ending.exitCode, 1);
    const std::vector<std::string> report = {"writer|0", Box(kCrashText, MB_YESNOCANCEL, "popup"),
                                             "quit|7", "exit|1"};
    EXPECT_EQ(ending.report, report);
}

TEST_F(CrashGuard, OtherSignalsAndOtherThreadsPassTheGuard) {
    struct TCase {
        const char* fault;
        int signal;
    };
    const TCase cases[] = {{"fpe", SIGFPE}, {"thread", SIGSEGV}, {"after", SIGSEGV}};
    for (const TCase& item : cases) {
        const TEnding ending = Crash(item.fault, IDYES);
        EXPECT_EQ(ending.signal, item.signal) << item.fault;
        EXPECT_TRUE(ending.report.empty()) << item.fault << ": no box, no end through the guard";
    }
}

TEST_F(CrashGuard, WithADumpWriterTheChosenDumpReplacesTheFile) {
    AddDumpWriter();
    const std::string older(4000, 'X');
    struct TCase {
        const char* name;
        int answer;
        const char* type; // null: no dump written
    };
    const TCase cases[] = {{"yes", IDYES, "2"}, {"no", IDNO, "0"}, {"cancel", IDCANCEL, nullptr}};
    for (const TCase& item : cases) {
        mFolder.Write("crash.mdmp", older);
        const TEnding ending = Crash("lua", item.answer);
        EXPECT_EQ(ending.exitCode, 1) << item.name;
        const std::vector<std::string> report = {"writer|1", Box(kCrashText, MB_YESNOCANCEL),
                                                 "exit|1"};
        EXPECT_EQ(ending.report, report) << item.name;
        if (item.type == nullptr) {
            EXPECT_EQ(Dump(), older) << item.name << ": left alone";
            continue;
        }
        // One line and nothing of the older, larger file behind it.
        const std::regex written(std::string("^type=") + item.type +
                                 " own=1 pid=1 thread=\\d+ client=1 code=c0000005 address=10 "
                                 "context=1 extras=0\n$");
        EXPECT_TRUE(std::regex_match(Dump(), written))
            << item.name << ": " << Dump().substr(0, 200);
    }
}

TEST_F(CrashGuard, AFailingDumpWriterShowsLose) {
    AddDumpWriter();
    const TEnding ending = Crash("lua", IDYES, {"FAKE_DUMP_FAIL=1"});
    EXPECT_EQ(ending.exitCode, 1);
    const std::vector<std::string> report = {"writer|1", Box(kCrashText, MB_YESNOCANCEL),
                                             Box("Lose", MB_OK), "exit|1"};
    EXPECT_EQ(ending.report, report);
}

TEST(CrashFilter, PassesEveryCodeButAnAccessViolation) {
    for (DWORD code : {0xC0000094u, 0xC000001Du, 0x80000003u, 0u}) {
        EXPECT_EQ(CrashFilter(code, nullptr), EXCEPTION_CONTINUE_SEARCH) << std::hex << code;
    }
}

} // namespace
