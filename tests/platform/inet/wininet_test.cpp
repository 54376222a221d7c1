#include "platform/inet/wininet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

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

// Reads a whole answer the way a caller does: ask what is there, read it, until nothing is.
std::string ReadAll(HINTERNET request, DWORD* largestChunk = nullptr) {
    std::string answer;
    for (;;) {
        DWORD available = 0;
        EXPECT_TRUE(InternetQueryDataAvailable(request, &available, 0, 0));
        if (available == 0) {
            break;
        }
        if (largestChunk != nullptr && available > *largestChunk) {
            *largestChunk = available;
        }
        std::string piece(available, '\0');
        DWORD got = 0;
        EXPECT_TRUE(InternetReadFile(request, piece.data(), available, &got));
        if (got == 0) {
            break;
        }
        answer.append(piece, 0, got);
    }
    return answer;
}

class WinInet : public ::testing::Test {
protected:
    void SetUp() override {
        mSession = InternetOpenA("agent/1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(mSession, nullptr);
    }
    void TearDown() override { InternetCloseHandle(mSession); }

    HINTERNET mSession = nullptr;
};

TEST_F(WinInet, OpenUrlFetchesTheAnswer) {
    const std::string big(200000, 'x');
    TTestHttpServer server([&](const THttpExchange& e) {
        if (e.target == "/missing") {
            return THttpReply{404, "not here"};
        }
        return THttpReply{200, e.target == "/big" ? big : "hello"};
    });
    const struct {
        const char* path;
        std::string answer;
    } cases[] = {{"/small?x=1", "hello"}, {"/big", big}, {"/missing", "not here"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        HINTERNET request =
            InternetOpenUrlA(mSession, server.Url(c.path).c_str(), nullptr, 0, 0, 0);
        ASSERT_NE(request, nullptr) << GetLastError();
        DWORD largest = 0;
        EXPECT_EQ(ReadAll(request, &largest), c.answer);
        // A network read hands over a piece at a time.
        EXPECT_LE(largest, 65536u);
        DWORD got = 1;
        char byte = 0;
        EXPECT_TRUE(InternetReadFile(request, &byte, 1, &got));
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(InternetCloseHandle(request));
    }
    const auto seen = server.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/small?x=1");
    EXPECT_EQ(seen[0].Header("User-Agent"), "agent/1");
    bool accept = true;
    seen[0].Header("Accept", &accept);
    EXPECT_FALSE(accept);
}

TEST_F(WinInet, OpenUrlPassesExtraHeaders) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, ""}; });
    HINTERNET request = InternetOpenUrlA(mSession, server.Url("/").c_str(),
                                         "X-One: 1\r\nX-Two: 2\r\n", static_cast<DWORD>(-1), 0, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(ReadAll(request), "");
    InternetCloseHandle(request);
    ASSERT_EQ(server.Seen().size(), 1u);
    EXPECT_EQ(server.Seen()[0].Header("X-One"), "1");
    EXPECT_EQ(server.Seen()[0].Header("X-Two"), "2");
}

TEST_F(WinInet, OpenUrlReportsWhyItFailed) {
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/";
    const struct {
        std::string url;
        DWORD error;
    } cases[] = {
        {closed, ERROR_INTERNET_CANNOT_CONNECT},
        {"ftp://127.0.0.1/file", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"nonsense", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"http://127.0.0.1:70000/", ERROR_INTERNET_INVALID_URL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        SetLastError(0);
        EXPECT_EQ(InternetOpenUrlA(mSession, c.url.c_str(), nullptr, 0, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(WinInet, RequestSendsOnlyTheHeadersItWasGiven) {
    TTestHttpServer server([](const THttpExchange& e) { return THttpReply{200, "got " + e.body}; });
    const struct {
        const char* header; // added with HTTP_ADDREQ_FLAG_ADD, or none
        bool hasType;
    } cases[] = {
        {"Content-Type: application/x-www-form-urlencoded", true},
        {nullptr, false},
    };
    HINTERNET connection =
        InternetConnectA(mSession, "127.0.0.1", static_cast<INTERNET_PORT>(server.Port()), nullptr,
                         nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    for (const auto& c : cases) {
        HINTERNET request = HttpOpenRequestA(connection, "POST", "/form?k=v", nullptr, nullptr,
                                             nullptr, 0x04000100u, 0);
        ASSERT_NE(request, nullptr);
        if (c.header != nullptr) {
            EXPECT_TRUE(HttpAddRequestHeadersA(request, c.header, static_cast<DWORD>(-1),
                                               HTTP_ADDREQ_FLAG_ADD));
        }
        char body[] = "a=1&b=two";
        ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, body, 9)) << GetLastError();
        EXPECT_EQ(ReadAll(request), "got a=1&b=two");
        InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
    const auto seen = server.Seen();
    ASSERT_EQ(seen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].method, "POST");
        EXPECT_EQ(seen[i].target, "/form?k=v");
        EXPECT_EQ(seen[i].body, "a=1&b=two");
        bool found = false;
        const std::string type = seen[i].Header("Content-Type", &found);
        EXPECT_EQ(found, cases[i].hasType);
        if (cases[i].hasType) {
            EXPECT_EQ(type, "application/x-www-form-urlencoded");
        }
        seen[i].Header("Expect", &found);
        EXPECT_FALSE(found);
    }
}

TEST_F(WinInet, HeaderModifiers) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, ""}; });
    HINTERNET connection =
        InternetConnectA(mSession, "127.0.0.1", static_cast<INTERNET_PORT>(server.Port()), nullptr,
                         nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request =
        HttpOpenRequestA(connection, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);
    const DWORD all = static_cast<DWORD>(-1);
    EXPECT_TRUE(HttpAddRequestHeadersA(request, "X-A: 1", all, HTTP_ADDREQ_FLAG_ADD));
    EXPECT_FALSE(HttpAddRequestHeadersA(request, "X-A: 2", all, HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_ALREADY_EXISTS));
    EXPECT_FALSE(HttpAddRequestHeadersA(request, "X-B: 1", all, HTTP_ADDREQ_FLAG_REPLACE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
    EXPECT_TRUE(HttpAddRequestHeadersA(request, "X-A: 3", all, HTTP_ADDREQ_FLAG_REPLACE));
    EXPECT_TRUE(HttpAddRequestHeadersA(request, "X-C: 1\r\nX-D: 4", 8, HTTP_ADDREQ_FLAG_ADD));
    EXPECT_FALSE(HttpAddRequestHeadersA(request, "no colon", all, HTTP_ADDREQ_FLAG_ADD));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    InternetCloseHandle(connection);
    ASSERT_EQ(server.Seen().size(), 1u);
    const THttpExchange e = server.Seen()[0];
    EXPECT_EQ(e.method, "GET");
    EXPECT_EQ(e.target, "/");
    EXPECT_EQ(e.Header("X-A"), "3");
    EXPECT_EQ(e.Header("X-C"), "1");
    bool found = true;
    e.Header("X-D", &found); // past the given length
    EXPECT_FALSE(found);
}

TEST_F(WinInet, ClosingAHandleClosesThoseBelowIt) {
    HINTERNET connection =
        InternetConnectA(mSession, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    HINTERNET request = HttpOpenRequestA(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);
    HINTERNET session = InternetOpenA("other", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);

    EXPECT_TRUE(InternetCloseHandle(connection));
    DWORD flags = 0;
    DWORD length = sizeof flags;
    EXPECT_FALSE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(InternetCloseHandle(connection));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // The session above it and an unrelated one stay.
    EXPECT_NE(
        InternetConnectA(mSession, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
        nullptr);
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_EQ(InternetOpenUrlA(session, "http://127.0.0.1/", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WinInet, HandleKindsAndStates) {
    HINTERNET connection =
        InternetConnectA(mSession, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);
    DWORD value = 0;
    DWORD length = sizeof value;
    const struct {
        const char* what;
        std::function<bool()> call; // true when the call succeeded
        DWORD error;
    } cases[] = {
        {"connect on a request",
         [&] {
             return InternetConnectA(request, "h", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                     0) != nullptr;
         },
         ERROR_INTERNET_INCORRECT_HANDLE_TYPE},
        {"open request on a session",
         [&] {
             return HttpOpenRequestA(mSession, "GET", "/", nullptr, nullptr, nullptr, 0, 0) !=
                    nullptr;
         },
         ERROR_INTERNET_INCORRECT_HANDLE_TYPE},
        {"security flags of a session",
         [&] {
             return InternetQueryOptionA(mSession, INTERNET_OPTION_SECURITY_FLAGS, &value,
                                         &length) != FALSE;
         },
         ERROR_INTERNET_INCORRECT_HANDLE_TYPE},
        {"unknown option",
         [&] { return InternetQueryOptionA(request, 2, &value, &length) != FALSE; },
         ERROR_INTERNET_INVALID_OPTION},
        {"data of an unsent request",
         [&] { return InternetQueryDataAvailable(request, &value, 0, 0) != FALSE; },
         ERROR_INTERNET_INCORRECT_HANDLE_STATE},
        {"read of an unsent request",
         [&] { return InternetReadFile(request, &value, 4, &length) != FALSE; },
         ERROR_INTERNET_INCORRECT_HANDLE_STATE},
        {"asynchronous session",
         [&] {
             return InternetOpenA("a", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                  INTERNET_FLAG_ASYNC) != nullptr;
         },
         ERROR_NOT_SUPPORTED},
        {"service other than HTTP",
         [&] { return InternetConnectA(mSession, "h", 21, nullptr, nullptr, 1, 0, 0) != nullptr; },
         ERROR_INVALID_PARAMETER},
        {"security flags of the wrong size",
         [&] {
             return InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, 2) != FALSE;
         },
         ERROR_INTERNET_BAD_OPTION_LENGTH},
        {"a proxy session without a proxy",
         [&] {
             return InternetOpenA("a", INTERNET_OPEN_TYPE_PROXY, nullptr, nullptr, 0) != nullptr;
         },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(GetLastError(), c.error);
    }
    InternetCloseHandle(connection);
}

TEST_F(WinInet, SecurityFlagsStartFromTheRequestFlags) {
    HINTERNET connection =
        InternetConnectA(mSession, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request =
        HttpOpenRequestA(connection, "GET", "/", nullptr, nullptr, nullptr, 0x04801100u, 0);
    ASSERT_NE(request, nullptr);
    DWORD flags = 0;
    DWORD length = 2;
    EXPECT_FALSE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, 4u);
    ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
    EXPECT_EQ(flags, SECURITY_FLAG_IGNORE_CERT_CN_INVALID);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_SECURE;
    ASSERT_TRUE(InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
    ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
    // Whether the channel is secure is not the caller's to say.
    EXPECT_EQ(flags, SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    InternetCloseHandle(connection);
}

TEST_F(WinInet, ClosingTheSessionCancelsATransferOnAnotherThread) {
    TTestHttpServer server([](const THttpExchange&) { return THttpReply{200, "late", true}; });
    const std::string url = server.Url("/held");
    auto pending = std::async(std::launch::async, [&] {
        HINTERNET request = InternetOpenUrlA(mSession, url.c_str(), nullptr, 0, 0, 0);
        return std::make_pair(request, GetLastError());
    });
    ASSERT_TRUE(server.WaitSeen(1, 5s));
    const auto closedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(InternetCloseHandle(mSession));
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 5s);
    const auto [request, error] = pending.get();
    EXPECT_EQ(request, nullptr);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    mSession = InternetOpenA("agent/1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

// HTTPS against a local TLS server with a self-signed certificate.
class WinInetTls : public WinInet {
protected:
    void SetUp() override {
        if (!TTlsServer::Available()) {
            GTEST_SKIP() << "no openssl program to run a local TLS server";
        }
        WinInet::SetUp();
    }
};

TEST_F(WinInetTls, CertificateChecksAndTheirRelaxing) {
    const struct {
        const char* altName;
        DWORD requestFlags;
        DWORD securityFlags; // set with InternetSetOptionA before sending
        DWORD error;         // 0: the request succeeds
    } cases[] = {
        {"IP:127.0.0.1", 0, 0, ERROR_INTERNET_INVALID_CA},
        {"IP:127.0.0.1", 0, SECURITY_FLAG_IGNORE_UNKNOWN_CA, 0},
        {"DNS:elsewhere.test", 0, SECURITY_FLAG_IGNORE_UNKNOWN_CA,
         ERROR_INTERNET_SEC_CERT_CN_INVALID},
        {"DNS:elsewhere.test", INTERNET_FLAG_IGNORE_CERT_CN_INVALID,
         SECURITY_FLAG_IGNORE_UNKNOWN_CA, 0},
        {"DNS:elsewhere.test", 0,
         SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.altName) + " " + std::to_string(c.requestFlags) + " " +
                     std::to_string(c.securityFlags));
        TempDir dir;
        dir.Write("page.txt", "secret page\n");
        ASSERT_TRUE(TTlsServer::MakeCertificate(dir.Path(), c.altName));
        TTlsServer server(dir.Path(), 1);
        ASSERT_NE(server.Port(), 0);
        HINTERNET connection =
            InternetConnectA(mSession, "127.0.0.1", static_cast<INTERNET_PORT>(server.Port()),
                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request = HttpOpenRequestA(connection, "GET", "/page.txt", nullptr, nullptr,
                                             nullptr, INTERNET_FLAG_SECURE | c.requestFlags, 0);
        ASSERT_NE(request, nullptr);
        DWORD flags = 0;
        DWORD length = sizeof flags;
        ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
        flags |= c.securityFlags;
        ASSERT_TRUE(
            InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
        const BOOL sent = HttpSendRequestA(request, nullptr, 0, nullptr, 0);
        if (c.error != 0) {
            EXPECT_FALSE(sent);
            EXPECT_EQ(GetLastError(), c.error);
        } else {
            ASSERT_TRUE(sent) << GetLastError();
            EXPECT_EQ(ReadAll(request), "secret page\n");
            ASSERT_TRUE(
                InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length));
            EXPECT_NE(flags & SECURITY_FLAG_SECURE, 0u);
        }
        InternetCloseHandle(connection);
    }
}

} // namespace
