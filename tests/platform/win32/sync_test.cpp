#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

DWORD ElapsedSince(std::chrono::steady_clock::time_point start) {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
}

TEST(Events, AutoAndManualReset) {
    struct TCase {
        const char* name;
        BOOL manual;
        BOOL initial;
        DWORD firstWait;
        DWORD secondWait; // right after the first, with no SetEvent between
    };
    const TCase cases[] = {
        {"auto, unsignalled", FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {"auto, signalled", FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {"manual, unsignalled", TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {"manual, signalled", TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
    };
    for (const TCase& item : cases) {
        HANDLE event = CreateEventA(nullptr, item.manual, item.initial, nullptr);
        ASSERT_NE(event, nullptr) << item.name;
        EXPECT_EQ(WaitForSingleObject(event, 0), item.firstWait) << item.name;
        EXPECT_EQ(WaitForSingleObject(event, 0), item.secondWait) << item.name;
        EXPECT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << item.name;
        EXPECT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << item.name;
        EXPECT_TRUE(CloseHandle(event));
    }
}

TEST(Events, WaitHonoursItsTimeoutAndWakesWhenSet) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 60), WAIT_TIMEOUT);
    EXPECT_GE(ElapsedSince(start), 60u);

    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            Sleep(30);
            SetEvent(static_cast<HANDLE>(parameter));
            return 0;
        },
        event, 0, nullptr);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_LT(ElapsedSince(start), 4000u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(Events, BadHandlesFail) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_FALSE(CloseHandle(nullptr));
    // A mutex is no event.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_FALSE(SetEvent(mutex));
    CloseHandle(mutex);
}

TEST(Threads, ExitCodePriorityAndId) {
    struct TShared {
        HANDLE go;
        std::atomic<DWORD> seenId{0};
    } shared{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* state = static_cast<TShared*>(parameter);
            state->seenId = GetCurrentThreadId();
            WaitForSingleObject(state->go, INFINITE);
            return 1234;
        },
        &shared, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_FALSE(SetThreadPriority(thread, 7));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 1234u);
    EXPECT_EQ(shared.seenId.load(), id);
    CloseHandle(thread);
    CloseHandle(shared.go);
}

TEST(Threads, PollingTheExitCodeSeesTheEnd) {
    // The engine stops its threads by setting a flag and polling the exit code.
    static std::atomic<bool> stop{false};
    stop = false;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            while (!stop) {
                Sleep(1);
            }
            return 0;
        },
        nullptr, 0, nullptr);
    stop = true;
    DWORD code = STILL_ACTIVE;
    const auto start = std::chrono::steady_clock::now();
    while (GetExitCodeThread(thread, &code) && code == STILL_ACTIVE && ElapsedSince(start) < 5000) {
    }
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Mutexes, OwnershipIsRecursiveAndPerThread) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // owned twice now
    const auto otherWaits = [mutex](DWORD milliseconds) {
        struct TArgs {
            HANDLE mutex;
            DWORD milliseconds;
            DWORD result;
        } args{mutex, milliseconds, 0};
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID parameter) -> DWORD {
                auto* a = static_cast<TArgs*>(parameter);
                a->result = WaitForSingleObject(a->mutex, a->milliseconds);
                if (a->result == WAIT_OBJECT_0) {
                    ReleaseMutex(a->mutex);
                }
                return 0;
            },
            &args, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return args.result;
    };
    EXPECT_EQ(otherWaits(5), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(otherWaits(5), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(otherWaits(1000), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST(Mutexes, AThreadThatEndsOwningOneAbandonsIt) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
            return 0;
        },
        mutex, 0, nullptr);
    // Abandoned by the time the thread's handle is signalled, as a waiter on the thread expects.
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(thread);
    CloseHandle(mutex);
}

TEST(Mutexes, NamedMutexesAreSharedByName) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    const std::string name = "StandinTestMutex" + std::to_string(GetCurrentProcessId());
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    // The same mutex behind both handles: this thread owns it through either.
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(ReleaseMutex(first));
    HANDLE other = CreateMutexA(nullptr, FALSE, (name + "b").c_str());
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(other);
    // Once every handle is closed the name is free again.
    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(again);
    standin::SetRuntimeFolder("");
}

TEST(Waits, AnyAndAll) {
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(0, events, TRUE, 0), WAIT_FAILED);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

TEST(Waits, SleepWaitsAtLeastItsTime) {
    const auto start = std::chrono::steady_clock::now();
    Sleep(25);
    EXPECT_GE(ElapsedSince(start), 25u);
    Sleep(0);
}

} // namespace
