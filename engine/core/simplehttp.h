// HTTP requests over WinInet, one at a time per client, each on a thread of its own: the main
// thread never waits for the network. TSimpleHttp belongs to the main thread; the request record
// it starts is shared with the worker thread without a lock, through two atomics: the owner only
// ever sets the detached flag, the worker sets the status and frees the record once detached.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/core/knownfiles.h"
#include "engine/core/str.h"
#include "platform/inet/wininet.h"

// A request's status.
enum : int32_t {
    kHttpNoRequest = -1, // TSimpleHttp::GetStatus without a current request
    kHttpRunning = 0,
    kHttpFinished = 1, // all data received
    kHttpFailed = 2,
    kHttpFileError = 3, // the output file could not be opened
};

// Request flags of TSimpleHttp::Send.
enum : uint32_t {
    kHttpNoCacheWrite = 1,   // a plain GET adds INTERNET_FLAG_NO_CACHE_WRITE
    kHttpIgnoreCertName = 2, // HTTPS accepts a certificate for another host name
};

// The process-wide WinInet root handle every request goes through. A request holds the root it
// was sent with until its thread ends; a root that went stale is replaced, and closed only when
// the last request holding it lets go, so one worker never pulls a handle from under another.
// Any thread may call these.
class TInternetRoot {
public:
    // The current root, opened on first use (agent "qzlib", preconfigured proxy); null when
    // WinInet cannot open one.
    static HINTERNET Get();
    // The current root, held by the caller until Release.
    static HINTERNET Acquire();
    // The caller met `stale` invalid: the root after it (a new one when `stale` is still the
    // current one), held by the caller; the hold on `stale` is given up.
    static HINTERNET Replace(HINTERNET stale);
    // Null is ignored.
    static void Release(HINTERNET root);
};

// Teardown: once on, workers neither resolve file names nor log, since those belong to the main
// thread's structures that are being destroyed. Turning it on waits for a worker that is inside
// either to leave. Any thread may call these.
void SetHttpShuttingDown(bool on);
bool IsHttpShuttingDown();

// One request, shared by its owner (TSimpleHttp) and its worker thread.
class TSimpleHttpRequest {
public:
    TSimpleHttpRequest(const char* url, const char* outputFile, const char* postBody, bool post,
                       HINTERNET root, uint32_t flags);
    ~TSimpleHttpRequest();
    TSimpleHttpRequest(const TSimpleHttpRequest&) = delete;
    TSimpleHttpRequest& operator=(const TSimpleHttpRequest&) = delete;

    // Owner: gives the record up; the worker frees it. Never undone.
    void Detach() { mDetached.store(true, std::memory_order_release); }
    bool IsDetached() const { return mDetached.load(std::memory_order_acquire); }
    // Any thread.
    int32_t GetStatus() const { return mStatus.load(std::memory_order_acquire); }
    // Owner, before Detach: the answer kept in memory once the request has ended (complete with
    // kHttpFinished); empty while it runs or when the answer went to a file.
    str CopyResult() const;

    // The worker thread's body: runs the exchange, waits to be detached, then deletes the record.
    void Run();
    // Adds n answer bytes to the kept text; false when it cannot grow that far.
    bool AppendResult(const char* bytes, uint32_t n);

    // Records alive in the process (owned or waiting to be freed by their threads).
    static int LiveCount();

private:
    friend class TSimpleHttp; // fails a record whose thread could not start

    HINTERNET OpenPlainGet();
    HINTERNET OpenWithConnection(bool secure);
    void Receive();

    char* mUrl;
    char* mOutputFile;
    // Where the output file resolved to, on disk; kNone when it cannot be written.
    char* mOutputPath = nullptr;
    TFileSource mOutputSource = TFileSource::kNone;
    char* mPostBody;
    HINTERNET mRoot; // held through TInternetRoot until the record dies
    HINTERNET mRequest = nullptr;
    HINTERNET mConnection = nullptr;
    uint32_t mBytesReceived = 0;
    uint32_t mResultCapacity = 0;
    uint32_t mFlags;
    char* mResult = nullptr; // zero-terminated; null when the answer goes to a file
    std::atomic<bool> mDetached{false};
    bool mPost;
    std::atomic<int32_t> mStatus{kHttpRunning};
};

// The client an owner keeps: one URL, GET or POST, and where the answer goes. Main thread only.
class TSimpleHttp {
public:
    TSimpleHttp() = default;
    virtual ~TSimpleHttp();
    TSimpleHttp(const TSimpleHttp&) = delete;
    TSimpleHttp& operator=(const TSimpleHttp&) = delete;

    // `data` is the form body of a POST, or the engine file name for the answer of a GET (null:
    // the answer is kept in memory). A running request is detached and forgotten.
    void SetRequest(const char* url, bool post, const char* data);
    // Detaches a running request and starts a new one on its own thread.
    void Send(int flags);

    // The current request's status, kHttpNoRequest when there is none.
    int32_t GetStatus() const;
    // The current request's answer kept in memory, once it has ended; empty otherwise.
    str GetResult() const;

private:
    void Forget();

    str mUrl;
    str mOutputFile;
    str mPostBody;
    bool mPost = false;
    TSimpleHttpRequest* mRequest = nullptr; // shared with its thread; see TSimpleHttpRequest
    bool mRequestHasThread = false;         // false: never started, the owner frees it
};
