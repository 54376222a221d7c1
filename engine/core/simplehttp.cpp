#include "engine/core/simplehttp.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "platform/win32/errhandlingapi.h"
#include "platform/win32/processthreadsapi.h"
#include "platform/win32/synchapi.h"

namespace {

constexpr DWORD kTransferSize = 32768;
// The kept answer is counted in 32 bits.
constexpr uint64_t kMaxResult = 0x7FFFFFFF;

struct TRootState {
    std::mutex lock;
    HINTERNET current = nullptr;
    // Holds on each root still in use, the current one and those replaced.
    std::map<HINTERNET, int> users;
};

// Never destroyed: a detached request thread may still be working while the process exits.
TRootState& Roots() {
    static auto* roots = new TRootState;
    return *roots;
}

HINTERNET OpenRoot() {
    return InternetOpenA("qzlib", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

HINTERNET CurrentRootLocked() {
    if (Roots().current == nullptr) {
        Roots().current = OpenRoot();
    }
    return Roots().current;
}

void HoldLocked(HINTERNET root) {
    if (root != nullptr) {
        ++Roots().users[root];
    }
}

void ReleaseLocked(HINTERNET root) {
    auto it = Roots().users.find(root);
    if (it == Roots().users.end()) {
        return;
    }
    if (--it->second == 0) {
        Roots().users.erase(it);
        if (root != Roots().current) {
            InternetCloseHandle(root);
        }
    }
}

struct TShutdownState {
    std::shared_mutex lock;
    bool on = false;
};

TShutdownState& Shutdown() {
    static auto* state = new TShutdownState;
    return *state;
}

std::atomic<int> gLiveRequests{0};

char* CopyText(const char* text) {
    const size_t n = text != nullptr ? std::strlen(text) : 0;
    char* copy = new char[n + 1];
    if (n != 0) {
        std::memcpy(copy, text, n);
    }
    copy[n] = '\0';
    return copy;
}

DWORD RunRequest(LPVOID parameter) {
    static_cast<TSimpleHttpRequest*>(parameter)->Run();
    return 0;
}

// Logging belongs to the main thread's structures: not once teardown has begun.
void WorkerLog(const char* format, DWORD code) __attribute__((format(printf, 1, 0)));
void WorkerLog(const char* format, DWORD code) {
    std::shared_lock<std::shared_mutex> hold(Shutdown().lock);
    if (!Shutdown().on) {
        Log(format, static_cast<int>(code));
    }
}

// The target was resolved by the owner: opening it touches nothing of the main thread's.
TFile* WorkerFileOpen(const char* path, TFileSource source, int mode) {
    std::shared_lock<std::shared_mutex> hold(Shutdown().lock);
    if (Shutdown().on) {
        return nullptr;
    }
    TFileTarget target;
    target.mPath = path;
    target.mSource = source;
    auto* file = new TFile;
    if (!file->Open(target, mode)) {
        delete file;
        return nullptr;
    }
    return file;
}

} // namespace

HINTERNET TInternetRoot::Get() {
    std::lock_guard<std::mutex> hold(Roots().lock);
    return CurrentRootLocked();
}

HINTERNET TInternetRoot::Acquire() {
    std::lock_guard<std::mutex> hold(Roots().lock);
    HINTERNET root = CurrentRootLocked();
    HoldLocked(root);
    return root;
}

HINTERNET TInternetRoot::Replace(HINTERNET stale) {
    std::lock_guard<std::mutex> hold(Roots().lock);
    if (Roots().current == stale) {
        // Retired: closed when its last holder lets go (maybe right below).
        Roots().current = nullptr;
        if (Roots().users.find(stale) == Roots().users.end() && stale != nullptr) {
            InternetCloseHandle(stale);
        }
    }
    HINTERNET fresh = CurrentRootLocked();
    HoldLocked(fresh);
    ReleaseLocked(stale);
    return fresh;
}

void TInternetRoot::Release(HINTERNET root) {
    std::lock_guard<std::mutex> hold(Roots().lock);
    ReleaseLocked(root);
}

void SetHttpShuttingDown(bool on) {
    std::unique_lock<std::shared_mutex> hold(Shutdown().lock);
    Shutdown().on = on;
}

bool IsHttpShuttingDown() {
    std::shared_lock<std::shared_mutex> hold(Shutdown().lock);
    return Shutdown().on;
}

TSimpleHttpRequest::TSimpleHttpRequest(const char* url, const char* outputFile,
                                       const char* postBody, bool post, HINTERNET root,
                                       uint32_t flags)
    : mUrl(CopyText(url)), mOutputFile(CopyText(outputFile)), mPostBody(CopyText(postBody)),
      mRoot(root), mFlags(flags), mPost(post) {
    // Resolved here, on the owner's thread: name resolution uses the main thread's structures.
    // The path is copied out, since an engine string shares its buffer without atomic counts.
    if (mOutputFile[0] != '\0') {
        const TFileTarget target = ResolveFileTarget(mOutputFile, kModeWriteBinary);
        mOutputSource = target.mSource == TFileSource::kDisk ? target.mSource : TFileSource::kNone;
        mOutputPath = CopyText(target.mPath.CStr());
    }
    gLiveRequests.fetch_add(1);
}

TSimpleHttpRequest::~TSimpleHttpRequest() {
    if (mRequest != nullptr) {
        InternetCloseHandle(mRequest);
    }
    if (mConnection != nullptr) {
        InternetCloseHandle(mConnection);
    }
    TInternetRoot::Release(mRoot);
    delete[] mResult;
    delete[] mUrl;
    delete[] mOutputFile;
    delete[] mOutputPath;
    delete[] mPostBody;
    gLiveRequests.fetch_sub(1);
}

int TSimpleHttpRequest::LiveCount() {
    return gLiveRequests.load();
}

str TSimpleHttpRequest::CopyResult() const {
    if (GetStatus() == kHttpRunning || mResult == nullptr) {
        return str();
    }
    return str(mResult, static_cast<int>(mBytesReceived));
}

bool TSimpleHttpRequest::AppendResult(const char* bytes, uint32_t n) {
    const uint64_t needed = uint64_t{mBytesReceived} + n + 1;
    if (needed > uint64_t{mResultCapacity}) {
        if (needed > kMaxResult) {
            return false;
        }
        uint64_t capacity = std::max<uint32_t>(mResultCapacity, 1);
        while (capacity < needed) {
            capacity *= 2;
        }
        capacity = std::min(capacity, kMaxResult);
        char* grown = new (std::nothrow) char[capacity];
        if (grown == nullptr) {
            return false;
        }
        if (mResult != nullptr) {
            std::memcpy(grown, mResult, mBytesReceived);
        }
        delete[] mResult;
        mResult = grown;
        mResultCapacity = static_cast<uint32_t>(capacity);
    }
    std::memcpy(mResult + mBytesReceived, bytes, n);
    mResult[mBytesReceived + n] = '\0';
    return true;
}

HINTERNET TSimpleHttpRequest::OpenPlainGet() {
    const DWORD flags = (mFlags & kHttpNoCacheWrite) != 0 ? INTERNET_FLAG_NO_CACHE_WRITE : 0;
    const auto context = reinterpret_cast<DWORD_PTR>(this);
    HINTERNET handle = InternetOpenUrlA(mRoot, mUrl, nullptr, 0, flags, context);
    if (handle == nullptr && GetLastError() == ERROR_INVALID_HANDLE) {
        mRoot = TInternetRoot::Replace(mRoot);
        handle = InternetOpenUrlA(mRoot, mUrl, nullptr, 0, flags, context);
    }
    if (handle == nullptr) {
        WorkerLog("Error creating connection (InternetOpenUrl) %d", GetLastError());
    }
    return handle;
}

HINTERNET TSimpleHttpRequest::OpenWithConnection(bool secure) {
    char host[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    // A host or path that does not fit is no request at all, not a request somewhere else.
    if (!InternetCrackUrlA(mUrl, 0, 0, &parts)) {
        return nullptr;
    }
    const INTERNET_PORT port =
        parts.nPort != 0 ? parts.nPort
                         : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    const auto context = reinterpret_cast<DWORD_PTR>(this);
    mConnection =
        InternetConnectA(mRoot, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context);
    if (mConnection == nullptr && GetLastError() == ERROR_INVALID_HANDLE) {
        mRoot = TInternetRoot::Replace(mRoot);
        mConnection = InternetConnectA(mRoot, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                       0, context);
    }
    if (mConnection == nullptr) {
        WorkerLog(secure ? "Error creating connection (HTTPS) %d"
                         : "Error creating connection (POST) %d",
                  GetLastError());
        return nullptr;
    }
    static const char kFormType[] = "Content-Type: application/x-www-form-urlencoded";
    HINTERNET request = nullptr;
    if (secure) {
        const DWORD flags = (mFlags & kHttpIgnoreCertName) != 0 ? 0x04801100u : 0x04800100u;
        request = HttpOpenRequestA(mConnection, mPost ? "POST" : "GET", path, nullptr, nullptr,
                                   nullptr, flags, context);
        if (request != nullptr) {
            DWORD security = 0;
            DWORD length = sizeof security;
            InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &length);
            security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
            InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
            if (mPost) {
                HttpAddRequestHeadersA(request, kFormType, static_cast<DWORD>(-1),
                                       HTTP_ADDREQ_FLAG_ADD);
            }
        }
    } else {
        request = HttpOpenRequestA(mConnection, "POST", path, nullptr, nullptr, nullptr,
                                   0x04000100u, context);
        if (request != nullptr) {
            HttpAddRequestHeadersA(request, kFormType, static_cast<DWORD>(-1),
                                   HTTP_ADDREQ_FLAG_ADD);
        }
    }
    if (request == nullptr) {
        return nullptr;
    }
    const DWORD bodyLength = static_cast<DWORD>(std::strlen(mPostBody));
    if (!HttpSendRequestA(request, nullptr, 0, mPostBody, bodyLength)) {
        InternetCloseHandle(request);
        return nullptr;
    }
    return request;
}

void TSimpleHttpRequest::Receive() {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTransferSize]);
    if (!buffer) {
        mStatus.store(kHttpFailed, std::memory_order_release);
        return;
    }
    TFile* file = nullptr;
    if (mOutputFile[0] != '\0') {
        file = WorkerFileOpen(mOutputPath, mOutputSource, kModeWriteBinary);
        if (file == nullptr) {
            mStatus.store(kHttpFileError, std::memory_order_release);
            return;
        }
    } else {
        mResult = new char[1];
        mResult[0] = '\0';
        mResultCapacity = 1;
    }
    int32_t outcome = kHttpRunning;
    while (outcome == kHttpRunning && !IsDetached()) {
        Sleep(1);
        DWORD available = 0;
        if (!InternetQueryDataAvailable(mRequest, &available, 0, 0)) {
            outcome = kHttpFailed;
            break;
        }
        if (available == 0) {
            outcome = kHttpFinished;
            break;
        }
        while (available > 0) {
            DWORD got = 0;
            if (!InternetReadFile(mRequest, buffer.get(), std::min(available, kTransferSize),
                                  &got)) {
                outcome = kHttpFailed;
                break;
            }
            if (got == 0) {
                break;
            }
            // A short write or an answer too large to keep is lost data: a failure.
            const bool kept =
                file != nullptr
                    ? FileWrite(file, buffer.get(), static_cast<int>(got)) == static_cast<int>(got)
                    : AppendResult(buffer.get(), got);
            if (!kept) {
                outcome = kHttpFailed;
                break;
            }
            mBytesReceived += got;
            available -= std::min(available, got);
        }
    }
    // The file is complete before anyone can see the status.
    FileClose(file);
    if (outcome != kHttpRunning) {
        mStatus.store(outcome, std::memory_order_release);
    }
}

void TSimpleHttpRequest::Run() {
    const bool secure = std::strncmp(mUrl, "https:", 6) == 0;
    if (secure || mPost) {
        mRequest = OpenWithConnection(secure);
    } else {
        mRequest = OpenPlainGet();
    }
    if (mRequest == nullptr) {
        mStatus.store(kHttpFailed, std::memory_order_release);
    } else {
        Receive();
    }
    if (mRequest != nullptr) {
        InternetCloseHandle(mRequest);
        mRequest = nullptr;
    }
    if (mConnection != nullptr) {
        InternetCloseHandle(mConnection);
        mConnection = nullptr;
    }
    while (!IsDetached()) {
        Sleep(100);
    }
    delete this;
}

TSimpleHttp::~TSimpleHttp() {
    Forget();
}

void TSimpleHttp::Forget() {
    if (mRequest == nullptr) {
        return;
    }
    if (mRequestHasThread) {
        mRequest->Detach();
    } else {
        delete mRequest;
    }
    mRequest = nullptr;
    mRequestHasThread = false;
}

void TSimpleHttp::SetRequest(const char* url, bool post, const char* data) {
    TInternetRoot::Get();
    mUrl = url;
    mPost = post;
    if (post) {
        mPostBody = data != nullptr ? data : "";
        mOutputFile = "";
    } else {
        mOutputFile = data != nullptr ? data : "";
        mPostBody = "";
    }
    Forget();
}

void TSimpleHttp::Send(int flags) {
    Forget();
    mRequest = new TSimpleHttpRequest(mUrl.CStr(), mOutputFile.CStr(), mPostBody.CStr(), mPost,
                                      TInternetRoot::Acquire(), static_cast<uint32_t>(flags));
    HANDLE thread = CreateThread(nullptr, 0, RunRequest, mRequest, 0, nullptr);
    if (thread == nullptr) {
        // Nobody will run it: the owner keeps it, failed, and frees it when it lets go.
        mRequest->mStatus.store(kHttpFailed, std::memory_order_release);
        mRequestHasThread = false;
        return;
    }
    mRequestHasThread = true;
    CloseHandle(thread);
}

int32_t TSimpleHttp::GetStatus() const {
    return mRequest != nullptr ? mRequest->GetStatus() : kHttpNoRequest;
}

str TSimpleHttp::GetResult() const {
    return mRequest != nullptr ? mRequest->CopyResult() : str();
}
