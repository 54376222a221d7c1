#include "engine/core/log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/tempdir.h"

namespace {

using testing_fixtures::TempDir;

int64_t gFixedTime = 0;

int64_t FixedClock() {
    return gFixedTime;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Time stamps are printed in local time: the tests pin the zone to UTC.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        mHadZone = zone != nullptr;
        if (zone)
            mOldZone = zone;
        setenv("TZ", "UTC", 1);
        tzset();
        gFixedTime = 0;
        SetLogClock(FixedClock);
    }

    void TearDown() override {
        SetLogFolder(nullptr);
        SetLogClock(nullptr);
        if (mHadZone)
            setenv("TZ", mOldZone.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    std::filesystem::path LogPath() const { return mDir.Path() / "logs" / "logfile.txt"; }
    void StartLog() { SetLogFolder((mDir.Path() / "logs").c_str()); }

    TempDir mDir;

private:
    bool mHadZone = false;
    std::string mOldZone;
};

// 1024 bytes on disk: 24 time-stamp characters, ": ", the message and CR LF.
std::string KilobyteMessage(char fill) {
    return std::string(1024 - 28, fill);
}

const char kStamp0[] = "Thu Jan  1 00:00:00 1970";
const char kBanner[] =
    "\r\n\r\n\r\n\r\n ****************** LOG WRAP AROUND ******************\r\n\r\n\r\n\r\n";

TEST_F(LogFile, OffUntilAFolderIsSet) {
    SetLogFolder(nullptr);
    EXPECT_STREQ(GetLogPath().CStr(), "");
    Log("nowhere %d", 1);
    EXPECT_FALSE(std::filesystem::exists("logfile.txt"));
    EXPECT_FALSE(std::filesystem::exists("/logfile.txt"));
}

TEST_F(LogFile, EmptyFolderTurnsLoggingOff) {
    StartLog();
    SetLogFolder("");
    EXPECT_STREQ(GetLogPath().CStr(), "");
    Log("dropped");
    EXPECT_FALSE(std::filesystem::exists("/logfile.txt"));
}

TEST_F(LogFile, CreatesTheFolderAndAStampedLinePerCall) {
    struct Case {
        int64_t time;
        const char* stamp;
    };
    const Case cases[] = {
        {0, "Thu Jan  1 00:00:00 1970"},
        {951782400, "Tue Feb 29 00:00:00 2000"},
        {1700000000, "Tue Nov 14 22:13:20 2023"},
    };
    StartLog();
    EXPECT_EQ(std::string(GetLogPath().CStr()), (mDir.Path() / "logs").string() + "/logfile.txt");
    EXPECT_TRUE(std::filesystem::is_directory(mDir.Path() / "logs"));
    std::string expected;
    for (const Case& c : cases) {
        gFixedTime = c.time;
        Log("TAssetMap::AddAsset: Error loading %s (%d)", "foo.png", 7);
        expected += std::string(c.stamp) + ": TAssetMap::AddAsset: Error loading foo.png (7)\r\n";
    }
    gFixedTime = 0;
    // Formatted once only: a percent sign in an argument reaches the file as it is.
    Log("%s", "100% sure");
    expected += std::string(kStamp0) + ": 100% sure\r\n";
    // The file is in text mode: every line feed is written as CR LF.
    Log("two\nlines");
    expected += std::string(kStamp0) + ": two\r\nlines\r\n";
    EXPECT_EQ(ReadFile(LogPath()), expected);
}

TEST_F(LogFile, LongMessagesAreWrittenWhole) {
    StartLog();
    std::string message(5000, 'm');
    Log("%s", message.c_str());
    EXPECT_EQ(ReadFile(LogPath()), std::string(kStamp0) + ": " + message + "\r\n");
}

TEST_F(LogFile, WrapsPast102400BytesTo51200BehindTheBanner) {
    StartLog();
    std::string lines;
    for (int i = 0; i < 100; ++i) {
        std::string message = KilobyteMessage(static_cast<char>('A' + i % 26));
        Log("%s", message.c_str());
        lines.append(kStamp0).append(": ").append(message).append("\r\n");
    }
    ASSERT_EQ(lines.size(), 102400u);
    ASSERT_EQ(ReadFile(LogPath()), lines);

    // At exactly 102400 the line is still appended.
    Log("appended");
    std::string appended = std::string(kStamp0) + ": appended\r\n";
    EXPECT_EQ(ReadFile(LogPath()), lines + appended);

    // Now past 102400: back to 51200, banner, line; the rest of the file stays as it was.
    Log("wrapped");
    std::string wrapped = std::string(kBanner) + kStamp0 + ": wrapped\r\n";
    std::string expected = lines + appended;
    expected.replace(51200, wrapped.size(), wrapped);
    EXPECT_EQ(ReadFile(LogPath()), expected);

    // The next line follows the wrapped one, with no second banner.
    Log("next");
    std::string next = std::string(kStamp0) + ": next\r\n";
    expected.replace(51200 + wrapped.size(), next.size(), next);
    EXPECT_EQ(ReadFile(LogPath()), expected);
    EXPECT_EQ(ReadFile(LogPath()).size(), 102400u + appended.size());
}

TEST_F(LogFile, MemoryLimitTextIsNoFolder) {
    StartLog();
    Log("before");
    str path = GetLogPath();
    std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(mDir.Path());
    SetLogFolder("__MEMORYMAX__=100000000");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mDir.Path()),
                            std::filesystem::directory_iterator()),
              1); // only "logs"
    EXPECT_STREQ(GetLogPath().CStr(), path.CStr());
    Log("after");
    EXPECT_EQ(ReadFile(LogPath()), std::string(kStamp0) + ": before\r\n" + kStamp0 + ": after\r\n");
}

TEST_F(LogFile, EachRunStartsANewFile) {
    StartLog();
    Log("first run");
    StartLog();
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
    Log("second run");
    EXPECT_EQ(ReadFile(LogPath()), std::string(kStamp0) + ": second run\r\n");
}

TEST_F(LogFile, WindowsSeparatorsReachTheDiskAsSlashes) {
    std::string folder = (mDir.Path() / "logs").string();
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    SetLogFolder(folder.c_str());
    Log("here");
    EXPECT_EQ(ReadFile(LogPath()), std::string(kStamp0) + ": here\r\n");
}

TEST_F(LogFile, UnwritableFolderIsSilent) {
    SetLogFolder((mDir.Path() / "missing" / "deeper").c_str());
    Log("lost");
    EXPECT_FALSE(std::filesystem::exists(mDir.Path() / "missing"));
}

TEST_F(LogFile, ConcurrentLinesStayWhole) {
    StartLog();
    constexpr int kThreads = 8;
    constexpr int kLines = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                Log("thread %d line %03d %s", t, i, "payload-payload-payload");
        });
    for (std::thread& thread : threads)
        thread.join();

    std::string text = ReadFile(LogPath());
    const std::string head = std::string(kStamp0) + ": thread ";
    const std::string tail = " payload-payload-payload";
    std::set<std::string> seen;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find("\r\n", begin);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(begin, end - begin);
        // "<stamp>: thread T line NNN payload-payload-payload"
        ASSERT_EQ(line.size(), head.size() + 1 + 6 + 3 + tail.size()) << line;
        ASSERT_EQ(line.compare(0, head.size(), head), 0) << line;
        std::string id = line.substr(head.size(), 1 + 6 + 3);
        ASSERT_EQ(id.substr(1, 6), " line ") << line;
        ASSERT_EQ(line.compare(line.size() - tail.size(), tail.size(), tail), 0) << line;
        EXPECT_TRUE(seen.insert(id).second) << line;
        begin = end + 2;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

TEST(LogMemory, CountersReadZero) {
    EXPECT_EQ(GetMemoryInUse(), 0);
    EXPECT_EQ(GetMemoryPeak(), 0);
}

} // namespace
