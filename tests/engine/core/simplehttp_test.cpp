#include "engine/core/simplehttp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "tests/fixtures/httpserver.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/tlsserver.h"

namespace {

using testing_fixtures::ClosedLoopbackPort;
using testing_fixtures::TempDir;
using testing_fixtures::THttpExchange;
using testing_fixtures::THttpReply;
using testing_fixtures::TTestHttpServer;
using testing_fixtures::TTlsServer;
using namespace std::chrono_literals;

template <class Done>
bool WaitFor(Done done, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

int32_t WaitDone(const TSimpleHttp& http) {
    WaitFor([&] { return http.GetStatus() != kHttpRunning; });
    return http.GetStatus();
}

// Whether a WinInet handle is still open: asking a root for a request's option is refused for
// its kind while it is open, for its absence once closed.
bool IsOpen(HINTERNET handle) {
    DWORD flags = 0;
    DWORD length = sizeof flags;
    InternetQueryOptionA(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
    return GetLastError() == static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

class SimpleHttp : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(mDir.Path() / "user");
        SetFolderRoots(str((mDir.Path() / "user").c_str()), str(), str());
        SetLogFolder((mDir.Path() / "log").c_str());
    }

    void TearDown() override {
        // Every record is freed by its own thread once its owner let go.
        EXPECT_TRUE(WaitFor([] { return TSimpleHttpRequest::LiveCount() == 0; }));
        SetHttpShuttingDown(false);
        SetLogFolder(nullptr);
        ClearKnownFiles();
        SetFolderRoots(str(), str(), str());
    }

    std::string LogText() const { return mDir.Read("log/logfile.txt"); }

    static std::string ClosedUrl(const char* scheme) {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) +
               "/report";
    }

    TempDir mDir;
};

TEST_F(SimpleHttp, GetKeepsTheAnswerInMemory) {
    std::string big;
    for (int i = 0; i < 100000; ++i) {
        big += static_cast<char>('a' + i % 26);
    }
    TTestHttpServer server([&](const THttpExchange& e) {
        if (e.target == "/empty") {
            return THttpReply{200, ""};
        }
        return THttpReply{200, e.target == "/big" ? big : "hello"};
    });
    const struct {
        const char* path;
        std::string answer;
    } cases[] = {{"/hello?cmd=startgame", "hello"}, {"/empty", ""}, {"/big", big}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TSimpleHttp http;
        EXPECT_EQ(http.GetStatus(), kHttpNoRequest);
        http.SetRequest(server.Url(c.path).c_str(), false, nullptr);
        http.Send(kHttpNoCacheWrite);
        EXPECT_EQ(WaitDone(http), kHttpFinished);
        EXPECT_EQ(std::string(http.GetResult().CStr(), http.GetResult().Length()), c.answer);
    }
    const auto seen = server.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/hello?cmd=startgame");
    EXPECT_EQ(seen[0].Header("User-Agent"), "qzlib");
}

TEST_F(SimpleHttp, PostSendsItsForm) {
    TTestHttpServer server([](const THttpExchange& e) {
        const bool form = e.Header("Content-Type") == "application/x-www-form-urlencoded";
        return THttpReply{200, form && e.body == "name=ann&score=12" ? "stored" : "refused"};
    });
    TSimpleHttp http;
    http.SetRequest(server.Url("/submit?game=1").c_str(), true, "name=ann&score=12");
    http.Send(0);
    EXPECT_EQ(WaitDone(http), kHttpFinished);
    EXPECT_STREQ(http.GetResult().CStr(), "stored");
    ASSERT_EQ(server.Seen().size(), 1u);
    EXPECT_EQ(server.Seen()[0].method, "POST");
    EXPECT_EQ(server.Seen()[0].target, "/submit?game=1");
}

TEST_F(SimpleHttp, RefusedConnectionFails) {
    const struct {
        const char* what;
        std::string url;
        bool post;
        const char* logLine; // null: no connection error is logged
    } cases[] = {
        {"plain GET", ClosedUrl("http"), false,
         "Error creating connection (InternetOpenUrl) 12029"},
        // These connect when sending, which fails without a log line.
        {"POST", ClosedUrl("http"), true, nullptr},
        {"HTTPS GET", ClosedUrl("https"), false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLogFolder((mDir.Path() / "log").c_str());
        TSimpleHttp http;
        http.SetRequest(c.url.c_str(), c.post, nullptr);
        http.Send(1);
        EXPECT_EQ(WaitDone(http), kHttpFailed);
        EXPECT_STREQ(http.GetResult().CStr(), "");
        const std::string log = LogText();
        if (c.logLine != nullptr) {
            EXPECT_NE(log.find(std::string(": ") + c.logLine + "\r\n"), std::string::npos) << log;
        } else {
            EXPECT_EQ(log.find("Error creating connection"), std::string::npos) << log;
        }
    }
}

TEST_F(SimpleHttp, SecondSendDetachesTheFirst) {
    TTestHttpServer server([](const THttpExchange& e) {
        return e.target == "/slow" ? THttpReply{200, "slow", true} : THttpReply{200, "fast"};
    });
    {
        TSimpleHttp http;
        http.SetRequest(server.Url("/slow").c_str(), false, nullptr);
        http.Send(1);
        ASSERT_TRUE(server.WaitSeen(1, 5s));
        EXPECT_EQ(http.GetStatus(), kHttpRunning);
        EXPECT_STREQ(http.GetResult().CStr(), "");

        http.SetRequest(server.Url("/fast").c_str(), false, nullptr);
        http.Send(1);
        EXPECT_EQ(WaitDone(http), kHttpFinished);
        EXPECT_STREQ(http.GetResult().CStr(), "fast");
        EXPECT_EQ(TSimpleHttpRequest::LiveCount(), 2);

        // The first one's answer arrives; its thread ends and frees its record.
        server.Release();
        EXPECT_TRUE(WaitFor([] { return TSimpleHttpRequest::LiveCount() == 1; }));
        EXPECT_STREQ(http.GetResult().CStr(), "fast");
    }
    EXPECT_TRUE(WaitFor([] { return TSimpleHttpRequest::LiveCount() == 0; }));
}

TEST_F(SimpleHttp, AnswerIntoAFile) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, "saved text"}; });
    const struct {
        const char* file;
        int32_t status;
        const char* onDisk; // below the user folder, or null
    } cases[] = {
        {"user:answer.txt", kHttpFinished, "user/answer.txt"},
        {"user:deep/er/answer.txt", kHttpFinished, "user/deep/er/answer.txt"},
        {"nowhere:answer.txt", kHttpFileError, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TSimpleHttp http;
        http.SetRequest(server.Url("/file").c_str(), false, c.file);
        http.Send(1);
        EXPECT_EQ(WaitDone(http), c.status);
        EXPECT_STREQ(http.GetResult().CStr(), "");
        if (c.onDisk != nullptr) {
            EXPECT_EQ(mDir.Read(c.onDisk), "saved text");
        }
    }
}

// The owner resolves the output file: a worker that resolved it itself would share the known-file
// map with a main thread that keeps using the file layer meanwhile (ThreadSanitizer shows it).
TEST_F(SimpleHttp, WorkerWritesItsFileWhileTheMainThreadResolvesNames) {
    std::atomic<bool> answer{false};
    TTestHttpServer server([&answer](const THttpExchange&) {
        WaitFor([&answer] { return answer.load(); });
        return THttpReply{200, "while busy"};
    });
    TSimpleHttp http;
    http.SetRequest(server.Url("/file").c_str(), false, "user:busy/answer.txt");
    http.Send(1);
    for (int i = 0; http.GetStatus() == kHttpRunning && i < 200000; ++i) {
        ResolveName(str::FromFormat("user:other%d.txt", i % 500), false);
        if (i == 100) {
            answer = true;
        }
    }
    answer = true;
    EXPECT_EQ(WaitDone(http), kHttpFinished);
    EXPECT_EQ(mDir.Read("user/busy/answer.txt"), "while busy");
}

TEST_F(SimpleHttp, ShuttingDownKeepsWorkersOffTheLogAndTheFiles) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, "late"}; });
    SetHttpShuttingDown(true);
    {
        TSimpleHttp http;
        http.SetRequest(ClosedUrl("http").c_str(), false, nullptr);
        http.Send(1);
        EXPECT_EQ(WaitDone(http), kHttpFailed);
    }
    {
        TSimpleHttp http;
        http.SetRequest(server.Url("/file").c_str(), false, "user:late.txt");
        http.Send(1);
        EXPECT_EQ(WaitDone(http), kHttpFileError);
    }
    EXPECT_EQ(LogText().find("Error creating connection"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(mDir.Path() / "user" / "late.txt"));
    EXPECT_TRUE(IsHttpShuttingDown());
}

TEST_F(SimpleHttp, PathTooLongForTheRequestBufferFails) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, "x"}; });
    TSimpleHttp http;
    http.SetRequest(server.Url("/" + std::string(300, 'p')).c_str(), true, "a=1");
    http.Send(0);
    EXPECT_EQ(WaitDone(http), kHttpFailed);
    EXPECT_TRUE(server.Seen().empty());
}

TEST_F(SimpleHttp, StaleRootIsReplaced) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, "again"}; });
    HINTERNET old = TInternetRoot::Get();
    ASSERT_NE(old, nullptr);
    InternetCloseHandle(old);
    TSimpleHttp http;
    http.SetRequest(server.Url("/").c_str(), false, nullptr);
    http.Send(1);
    EXPECT_EQ(WaitDone(http), kHttpFinished);
    EXPECT_STREQ(http.GetResult().CStr(), "again");
    EXPECT_NE(TInternetRoot::Get(), old);
    EXPECT_TRUE(IsOpen(TInternetRoot::Get()));
}

TEST_F(SimpleHttp, ARootStaysOpenWhileARequestHoldsIt) {
    HINTERNET first = TInternetRoot::Acquire();
    HINTERNET alsoFirst = TInternetRoot::Acquire();
    ASSERT_EQ(first, alsoFirst);

    // One worker finds the root stale: a new one becomes current, the old one stays open for
    // the other worker still using it.
    HINTERNET second = TInternetRoot::Replace(first);
    EXPECT_NE(second, first);
    EXPECT_EQ(TInternetRoot::Get(), second);
    EXPECT_TRUE(IsOpen(first));

    // The other worker finds it stale too: it takes the root already replaced, and the old one
    // closes with its last holder.
    EXPECT_EQ(TInternetRoot::Replace(alsoFirst), second);
    EXPECT_FALSE(IsOpen(first));

    // The current root is never closed by its holders.
    TInternetRoot::Release(second);
    TInternetRoot::Release(second);
    EXPECT_TRUE(IsOpen(second));
    EXPECT_EQ(TInternetRoot::Get(), second);
}

TEST_F(SimpleHttp, HttpsGoesThroughARequestWithCertificateChecks) {
    if (!TTlsServer::Available()) {
        GTEST_SKIP() << "no openssl program to run a local TLS server";
    }
    const struct {
        const char* altName;
        int flags;
        int32_t status;
    } cases[] = {
        // An unknown issuer is always accepted; a name that does not match only on request.
        {"IP:127.0.0.1", 0, kHttpFinished},
        {"DNS:elsewhere.test", 0, kHttpFailed},
        {"DNS:elsewhere.test", kHttpIgnoreCertName, kHttpFinished},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.altName) + " " + std::to_string(c.flags));
        TempDir dir;
        dir.Write("scores.txt", "1. ann 500\n");
        ASSERT_TRUE(TTlsServer::MakeCertificate(dir.Path(), c.altName));
        TTlsServer server(dir.Path(), 1);
        ASSERT_NE(server.Port(), 0);
        TSimpleHttp http;
        http.SetRequest(server.Url("/scores.txt").c_str(), false, nullptr);
        http.Send(c.flags);
        EXPECT_EQ(WaitDone(http), c.status);
        EXPECT_STREQ(http.GetResult().CStr(), c.status == kHttpFinished ? "1. ann 500\n" : "");
    }
}

} // namespace
