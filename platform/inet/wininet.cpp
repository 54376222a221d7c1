#include "platform/inet/wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

enum class TKind { kSession, kConnection, kRequest };

// Handles are numbers that are never reused, so a stale handle can only ever miss.
class TInetHandle {
public:
    TInetHandle(TKind kind, std::shared_ptr<TInetHandle> parent)
        : mKind(kind), mParent(std::move(parent)) {}
    virtual ~TInetHandle() = default;
    TInetHandle(const TInetHandle&) = delete;
    TInetHandle& operator=(const TInetHandle&) = delete;

    bool IsBelow(const TInetHandle* ancestor) const {
        for (const TInetHandle* h = mParent.get(); h != nullptr; h = h->mParent.get()) {
            if (h == ancestor) {
                return true;
            }
        }
        return false;
    }

    const TKind mKind;
    const std::shared_ptr<TInetHandle> mParent;
    // Set by InternetCloseHandle, possibly from another thread; a transfer under way stops.
    std::atomic<bool> mClosed{false};
};

class TSession final : public TInetHandle {
public:
    TSession() : TInetHandle(TKind::kSession, nullptr) {}
    std::string mAgent;
    DWORD mAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string mProxy;
    std::string mBypass;
};

class TConnection final : public TInetHandle {
public:
    explicit TConnection(std::shared_ptr<TInetHandle> session)
        : TInetHandle(TKind::kConnection, std::move(session)) {}
    std::string mHost;
    INTERNET_PORT mPort = 0;
    std::string mUser;
    std::string mPassword;
    bool mHasUser = false;
    bool mHasPassword = false;
};

class TRequest final : public TInetHandle {
public:
    explicit TRequest(std::shared_ptr<TInetHandle> parent)
        : TInetHandle(TKind::kRequest, std::move(parent)) {}

    const TSession& Session() const {
        const TInetHandle* h = this;
        while (h->mKind != TKind::kSession) {
            h = h->mParent.get();
        }
        return static_cast<const TSession&>(*h);
    }

    std::string mUrl; // for URL requests; connection requests build theirs when sent
    std::string mVerb = "GET";
    std::string mPath = "/";
    bool mHttp10 = false;
    std::string mReferrer;
    std::string mAccept; // "" = no Accept header
    DWORD mFlags = 0;
    std::vector<std::string> mHeaders;

    std::mutex mLock; // guards everything below
    DWORD mSecurityFlags = 0;
    bool mSent = false;
    std::string mAnswer;
    size_t mReadPos = 0;
};

struct TRegistry {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<TInetHandle>> handles;
    std::uintptr_t next = 0x10000;
};

// Never destroyed: a detached request thread may still be working while the process exits.
TRegistry& Registry() {
    static auto* registry = new TRegistry;
    return *registry;
}

// Null, with ERROR_INVALID_HANDLE, when a parent was closed meanwhile (InternetCloseHandle marks
// them under the same lock): a child registered after the close would escape its cancellation.
HINTERNET Register(std::shared_ptr<TInetHandle> handle) {
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> hold(registry.lock);
    for (const TInetHandle* h = handle->mParent.get(); h != nullptr; h = h->mParent.get()) {
        if (h->mClosed.load()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    const std::uintptr_t id = registry.next;
    registry.next += 16;
    registry.handles.emplace(id, std::move(handle));
    return reinterpret_cast<HINTERNET>(id);
}

std::shared_ptr<TInetHandle> Find(HINTERNET handle) {
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> hold(registry.lock);
    auto it = registry.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == registry.handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

template <class T>
std::shared_ptr<T> FindKind(HINTERNET handle, TKind kind) {
    std::shared_ptr<TInetHandle> found = Find(handle);
    if (!found) {
        return nullptr;
    }
    if (found->mKind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(found);
}

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Text(LPCSTR text) {
    return text != nullptr ? std::string(text) : std::string();
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Header lines of a block separated by CR LF (or a lone LF); empty lines are dropped.
std::vector<std::string> SplitHeaders(const char* headers, DWORD length) {
    std::vector<std::string> lines;
    if (headers == nullptr) {
        return lines;
    }
    const size_t size = length == static_cast<DWORD>(-1) ? std::strlen(headers) : length;
    std::string block(headers, size);
    size_t pos = 0;
    while (pos <= block.size()) {
        size_t end = block.find('\n', pos);
        if (end == std::string::npos) {
            end = block.size();
        }
        std::string line = block.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!Trim(line).empty()) {
            lines.push_back(line);
        }
        pos = end + 1;
    }
    return lines;
}

std::string HeaderName(const std::string& line) {
    return Lower(Trim(line.substr(0, line.find(':'))));
}

bool HasHeader(const std::vector<std::string>& headers, const std::string& lowerName) {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const std::string& h) { return HeaderName(h) == lowerName; });
}

// Bytes a URL may not carry as they are.
std::string EscapeUnsafe(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// `verifyResult` is the chain check's result, which only counts when the chain was checked.
DWORD ErrorFromCurl(CURLcode code, long verifyResult, bool chainChecked) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_TOO_MANY_REDIRECTS:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SSL_CONNECT_ERROR:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PEER_FAILED_VERIFICATION:
        // The chain is checked before the name: a clean or unchecked chain means the name
        // was wrong.
        if (!chainChecked) {
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        }
        if (verifyResult == 9 || verifyResult == 10) { // not yet valid, expired
            return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        }
        return verifyResult != 0 ? ERROR_INTERNET_INVALID_CA : ERROR_INTERNET_SEC_CERT_CN_INVALID;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

constexpr size_t kMaxAnswer = size_t{256} << 20;

struct TTransfer {
    TRequest* request;
    std::string answer;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t n = size * count;
    if (transfer->answer.size() + n > kMaxAnswer) {
        transfer->tooLarge = true;
        return 0;
    }
    transfer->answer.append(data, n);
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TTransfer*>(user)->request->mClosed.load() ? 1 : 0;
}

// "<local>" in a bypass list stands for the names without dots and for this machine.
std::string NoProxyList(const std::string& bypass) {
    std::string list;
    std::string item;
    auto flush = [&] {
        if (item == "<local>") {
            item = "localhost,127.0.0.1,::1";
        }
        if (!item.empty()) {
            if (!list.empty()) {
                list += ',';
            }
            list += item;
        }
        item.clear();
    };
    for (char c : bypass) {
        if (c == ';' || c == ',' || c == ' ') {
            flush();
        } else {
            item += c;
        }
    }
    flush();
    return list;
}

void ApplyProxy(CURL* curl, const TSession& session) {
    switch (session.mAccessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        curl_easy_setopt(curl, CURLOPT_PROXY, session.mProxy.c_str());
        curl_easy_setopt(curl, CURLOPT_NOPROXY, NoProxyList(session.mBypass).c_str());
        break;
    default: {
        std::string list = "localhost,127.0.0.1,::1";
        for (const char* name : {"no_proxy", "NO_PROXY"}) {
            if (const char* env = std::getenv(name); env != nullptr && *env != '\0') {
                list = std::string(env) + "," + list;
                break;
            }
        }
        curl_easy_setopt(curl, CURLOPT_NOPROXY, list.c_str());
        break;
    }
    }
}

// Runs the whole exchange; fills the answer or sets the last error.
bool Perform(TRequest& request, const std::string& url, const std::vector<std::string>& extra,
             const std::string& body, bool hasBody) {
    InitCurl();
    const TSession& session = request.Session();
    const bool secure = Lower(url.substr(0, 6)) == "https:";
    DWORD security = 0;
    {
        std::lock_guard<std::mutex> hold(request.mLock);
        security = request.mSecurityFlags;
    }
    bool ignoreChain = (security & SECURITY_FLAG_IGNORE_UNKNOWN_CA) != 0;
    const bool ignoreName = (security & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) != 0;
    const bool ignoreDate = (security & SECURITY_FLAG_IGNORE_CERT_DATE_INVALID) != 0;

    std::vector<std::string> headers = request.mHeaders;
    headers.insert(headers.end(), extra.begin(), extra.end());

    for (int attempt = 0; attempt < 2; ++attempt) {
        CURL* curl = curl_easy_init();
        if (curl == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        TTransfer transfer{&request, {}, false};
        curl_slist* list = nullptr;
        for (const std::string& h : headers) {
            list = curl_slist_append(list, h.c_str());
        }
        // Only what the caller asked for: no default Accept, Expect or Content-Type.
        if (!request.mAccept.empty() && !HasHeader(headers, "accept")) {
            list = curl_slist_append(list, ("Accept: " + request.mAccept).c_str());
        } else if (!HasHeader(headers, "accept")) {
            list = curl_slist_append(list, "Accept:");
        }
        if (!HasHeader(headers, "expect")) {
            list = curl_slist_append(list, "Expect:");
        }
        if (!HasHeader(headers, "content-type")) {
            list = curl_slist_append(list, "Content-Type:");
        }

        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        const bool follow = (request.mFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                         request.mHttp10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 60000L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
        if (!session.mAgent.empty()) {
            curl_easy_setopt(curl, CURLOPT_USERAGENT, session.mAgent.c_str());
        }
        if (!request.mReferrer.empty()) {
            curl_easy_setopt(curl, CURLOPT_REFERER, request.mReferrer.c_str());
        }
        ApplyProxy(curl, session);
        if (request.mParent->mKind == TKind::kConnection) {
            const auto& connection = static_cast<const TConnection&>(*request.mParent);
            if (connection.mHasUser) {
                curl_easy_setopt(curl, CURLOPT_USERNAME, connection.mUser.c_str());
            }
            if (connection.mHasPassword) {
                curl_easy_setopt(curl, CURLOPT_PASSWORD, connection.mPassword.c_str());
            }
        }
        if (request.mVerb == "GET" && !hasBody) {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        } else if (request.mVerb == "HEAD") {
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        } else {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
            if (request.mVerb != "POST") {
                curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.mVerb.c_str());
            }
        }
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, ignoreChain ? 0L : 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, ignoreName ? 0L : 2L);

        const CURLcode code = curl_easy_perform(curl);
        long verifyResult = 0;
        if (code == CURLE_PEER_FAILED_VERIFICATION) {
            curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        }
        curl_easy_cleanup(curl);
        curl_slist_free_all(list);

        if (code == CURLE_OK) {
            std::lock_guard<std::mutex> hold(request.mLock);
            request.mAnswer = std::move(transfer.answer);
            request.mReadPos = 0;
            request.mSent = true;
            if (secure) {
                request.mSecurityFlags |= SECURITY_FLAG_SECURE;
            }
            return true;
        }
        if (request.mClosed.load()) {
            SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
            return false;
        }
        if (transfer.tooLarge) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        const DWORD error = ErrorFromCurl(code, verifyResult, !ignoreChain);
        // The chain is checked before the dates, so a date error means the chain was trusted:
        // with dates ignored, the chain check can go and the name is still checked.
        if (error == static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_DATE_INVALID) && ignoreDate &&
            !ignoreChain) {
            ignoreChain = true;
            continue;
        }
        SetLastError(error);
        return false;
    }
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return false;
}

// The parts of a URL as offsets into it.
struct TUrlParts {
    std::string scheme, user, password, host, path, extra;
    bool hasUser = false, hasPassword = false;
    INTERNET_SCHEME schemeNumber = INTERNET_SCHEME_UNKNOWN;
    INTERNET_PORT port = 0;
    // Where each part lies in the URL, for callers that want pointers into it.
    size_t schemeAt = 0, userAt = 0, passwordAt = 0, hostAt = 0, pathAt = 0, extraAt = 0;
};

DWORD CrackInto(const std::string& url, TUrlParts* parts) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) {
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    }
    for (size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        }
    }
    parts->scheme = url.substr(0, colon);
    const std::string scheme = Lower(parts->scheme);
    static const std::pair<const char*, INTERNET_SCHEME> kSchemes[] = {
        {"ftp", INTERNET_SCHEME_FTP},   {"gopher", INTERNET_SCHEME_GOPHER},
        {"http", INTERNET_SCHEME_HTTP}, {"https", INTERNET_SCHEME_HTTPS},
        {"file", INTERNET_SCHEME_FILE},
    };
    for (const auto& [name, number] : kSchemes) {
        if (scheme == name) {
            parts->schemeNumber = number;
        }
    }
    const bool web =
        parts->schemeNumber == INTERNET_SCHEME_HTTP || parts->schemeNumber == INTERNET_SCHEME_HTTPS;
    size_t pos = colon + 1;
    size_t pathStart = pos;
    if (url.compare(pos, 2, "//") == 0) {
        pos += 2;
        const size_t authorityEnd = std::min(url.find_first_of("/?#", pos), url.size());
        std::string authority = url.substr(pos, authorityEnd - pos);
        const size_t at = authority.rfind('@');
        size_t hostAt = pos;
        if (at != std::string::npos) {
            const std::string userInfo = authority.substr(0, at);
            const size_t split = userInfo.find(':');
            parts->hasUser = true;
            parts->user = userInfo.substr(0, split);
            parts->userAt = pos;
            if (split != std::string::npos) {
                parts->hasPassword = true;
                parts->password = userInfo.substr(split + 1);
                parts->passwordAt = pos + split + 1;
            }
            authority = authority.substr(at + 1);
            hostAt = pos + at + 1;
        }
        std::string portText;
        if (!authority.empty() && authority[0] == '[') {
            const size_t close = authority.find(']');
            if (close == std::string::npos) {
                return ERROR_INTERNET_INVALID_URL;
            }
            parts->host = authority.substr(1, close - 1);
            parts->hostAt = hostAt + 1;
            const std::string rest = authority.substr(close + 1);
            if (!rest.empty()) {
                if (rest[0] != ':') {
                    return ERROR_INTERNET_INVALID_URL;
                }
                portText = rest.substr(1);
            }
        } else {
            const size_t split = authority.find(':');
            parts->host = authority.substr(0, split);
            parts->hostAt = hostAt;
            if (split != std::string::npos) {
                portText = authority.substr(split + 1);
            }
        }
        if (!portText.empty()) {
            if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(),
                                                    [](char c) { return c >= '0' && c <= '9'; })) {
                return ERROR_INTERNET_INVALID_URL;
            }
            const int port = std::atoi(portText.c_str());
            if (port < 1 || port > 65535) {
                return ERROR_INTERNET_INVALID_URL;
            }
            parts->port = static_cast<INTERNET_PORT>(port);
        } else if (parts->schemeNumber == INTERNET_SCHEME_HTTP) {
            parts->port = INTERNET_DEFAULT_HTTP_PORT;
        } else if (parts->schemeNumber == INTERNET_SCHEME_HTTPS) {
            parts->port = INTERNET_DEFAULT_HTTPS_PORT;
        } else if (parts->schemeNumber == INTERNET_SCHEME_FTP) {
            parts->port = 21;
        }
        pathStart = authorityEnd;
    } else if (web) {
        return ERROR_INTERNET_INVALID_URL;
    }
    if (web && parts->host.empty()) {
        return ERROR_INTERNET_INVALID_URL;
    }
    const size_t extraStart = std::min(url.find_first_of("?#", pathStart), url.size());
    parts->path = url.substr(pathStart, extraStart - pathStart);
    parts->pathAt = pathStart;
    parts->extra = url.substr(extraStart);
    parts->extraAt = extraStart;
    return ERROR_SUCCESS;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Decode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// One part into the caller's buffer or as a pointer into the URL; false when the buffer is too
// small (its length then says what is needed, NUL included).
bool Deliver(const char* url, const std::string& value, size_t at, bool decode, LPSTR* buffer,
             DWORD* length) {
    if (*buffer == nullptr) {
        if (*length != 0) {
            *buffer = const_cast<LPSTR>(url + at);
            *length = static_cast<DWORD>(value.size());
        }
        return true;
    }
    if (*length == 0) {
        return true;
    }
    const std::string text = decode ? Decode(value) : value;
    if (text.size() + 1 > *length) {
        *length = static_cast<DWORD>(text.size() + 1);
        return false;
    }
    std::memcpy(*buffer, text.c_str(), text.size() + 1);
    *length = static_cast<DWORD>(text.size());
    return true;
}

} // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                        DWORD flags) {
    if ((flags & INTERNET_FLAG_ASYNC) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
        accessType != INTERNET_OPEN_TYPE_PROXY &&
        accessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (accessType == INTERNET_OPEN_TYPE_PROXY && (proxy == nullptr || *proxy == '\0')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    InitCurl();
    auto session = std::make_shared<TSession>();
    session->mAgent = Text(agent);
    session->mAccessType = accessType;
    session->mProxy = Text(proxy);
    session->mBypass = Text(proxyBypass);
    return Register(std::move(session));
}

HINTERNET InternetOpenUrlA(HINTERNET sessionHandle, LPCSTR url, LPCSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR) {
    auto session = FindKind<TSession>(sessionHandle, TKind::kSession);
    if (!session) {
        return nullptr;
    }
    if (url == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    TUrlParts parts;
    if (DWORD error = CrackInto(url, &parts); error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    if (parts.schemeNumber != INTERNET_SCHEME_HTTP && parts.schemeNumber != INTERNET_SCHEME_HTTPS) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    auto request = std::make_shared<TRequest>(session);
    request->mUrl = EscapeUnsafe(url);
    request->mFlags = flags;
    request->mSecurityFlags =
        flags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID);
    const std::vector<std::string> extra = SplitHeaders(headers, headersLength);
    // Registered first, so that InternetCloseHandle on the session can cancel the transfer.
    HINTERNET handle = Register(request);
    if (handle == nullptr) {
        return nullptr;
    }
    if (!Perform(*request, request->mUrl, extra, std::string(), false)) {
        const DWORD error = GetLastError();
        InternetCloseHandle(handle);
        SetLastError(error);
        return nullptr;
    }
    if (request->mClosed.load()) {
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        return nullptr;
    }
    return handle;
}

BOOL InternetCrackUrlA(LPCSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSA components) {
    if (url == nullptr || components == nullptr ||
        components->dwStructSize != sizeof(URL_COMPONENTSA) || (flags & ~ICU_DECODE) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string text(url, urlLength == 0 ? std::strlen(url) : urlLength);
    TUrlParts parts;
    if (DWORD error = CrackInto(text, &parts); error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    URL_COMPONENTSA& c = *components;
    const bool decode = (flags & ICU_DECODE) != 0;
    const bool wantExtra = c.lpszExtraInfo != nullptr || c.dwExtraInfoLength != 0;
    const std::string path = wantExtra ? parts.path : parts.path + parts.extra;
    bool fits = true;
    fits &= Deliver(url, parts.scheme, parts.schemeAt, decode, &c.lpszScheme, &c.dwSchemeLength);
    fits &= Deliver(url, parts.host, parts.hostAt, decode, &c.lpszHostName, &c.dwHostNameLength);
    fits &= Deliver(url, parts.user, parts.userAt, decode, &c.lpszUserName, &c.dwUserNameLength);
    fits &= Deliver(url, parts.password, parts.passwordAt, decode, &c.lpszPassword,
                    &c.dwPasswordLength);
    fits &= Deliver(url, path, parts.pathAt, decode, &c.lpszUrlPath, &c.dwUrlPathLength);
    fits &=
        Deliver(url, parts.extra, parts.extraAt, decode, &c.lpszExtraInfo, &c.dwExtraInfoLength);
    c.nScheme = parts.schemeNumber;
    c.nPort = parts.port;
    if (!fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return TRUE;
}

HINTERNET InternetConnectA(HINTERNET sessionHandle, LPCSTR serverName, INTERNET_PORT port,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD, DWORD_PTR) {
    auto session = FindKind<TSession>(sessionHandle, TKind::kSession);
    if (!session) {
        return nullptr;
    }
    if (serverName == nullptr || *serverName == '\0' || service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto connection = std::make_shared<TConnection>(session);
    connection->mHost = serverName;
    connection->mPort = port;
    connection->mHasUser = userName != nullptr;
    connection->mUser = Text(userName);
    connection->mHasPassword = password != nullptr;
    connection->mPassword = Text(password);
    return Register(std::move(connection));
}

HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, LPCSTR verb, LPCSTR objectName,
                           LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags,
                           DWORD_PTR) {
    auto connection = FindKind<TConnection>(connectionHandle, TKind::kConnection);
    if (!connection) {
        return nullptr;
    }
    auto request = std::make_shared<TRequest>(connection);
    request->mVerb = verb != nullptr && *verb != '\0' ? verb : "GET";
    request->mPath = objectName != nullptr && *objectName != '\0' ? objectName : "/";
    if (request->mPath[0] != '/') {
        request->mPath.insert(0, "/");
    }
    request->mHttp10 = version != nullptr && std::strcmp(version, "HTTP/1.0") == 0;
    request->mReferrer = Text(referrer);
    for (LPCSTR* type = acceptTypes; type != nullptr && *type != nullptr; ++type) {
        request->mAccept += (request->mAccept.empty() ? "" : ", ") + std::string(*type);
    }
    request->mFlags = flags;
    request->mSecurityFlags =
        flags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID);
    return Register(std::move(request));
}

BOOL HttpAddRequestHeadersA(HINTERNET requestHandle, LPCSTR headers, DWORD length,
                            DWORD modifiers) {
    auto request = FindKind<TRequest>(requestHandle, TKind::kRequest);
    if (!request) {
        return FALSE;
    }
    const std::vector<std::string> lines = SplitHeaders(headers, length);
    if (lines.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(request->mLock);
    for (const std::string& line : lines) {
        if (line.find(':') == std::string::npos) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const std::string name = HeaderName(line);
        auto existing = std::find_if(request->mHeaders.begin(), request->mHeaders.end(),
                                     [&](const std::string& h) { return HeaderName(h) == name; });
        const bool found = existing != request->mHeaders.end();
        if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) != 0 && found) {
            SetLastError(ERROR_HTTP_HEADER_ALREADY_EXISTS);
            return FALSE;
        }
        if ((modifiers & HTTP_ADDREQ_FLAG_REPLACE) != 0) {
            const bool emptyValue = Trim(line.substr(line.find(':') + 1)).empty();
            if (found) {
                if (emptyValue) {
                    request->mHeaders.erase(existing);
                } else {
                    *existing = line;
                }
                continue;
            }
            if ((modifiers & HTTP_ADDREQ_FLAG_ADD) == 0) {
                SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
                return FALSE;
            }
        }
        request->mHeaders.push_back(line);
    }
    return TRUE;
}

BOOL HttpSendRequestA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
    auto request = FindKind<TRequest>(requestHandle, TKind::kRequest);
    if (!request) {
        return FALSE;
    }
    if (request->mParent->mKind != TKind::kConnection) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return FALSE;
    }
    if (optional == nullptr && optionalLength != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& connection = static_cast<const TConnection&>(*request->mParent);
    const bool secure = (request->mFlags & INTERNET_FLAG_SECURE) != 0;
    const INTERNET_PORT port =
        connection.mPort != 0 ? connection.mPort
                              : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    std::string host = connection.mHost;
    if (host.find(':') != std::string::npos && host[0] != '[') {
        host = "[" + host + "]";
    }
    const std::string url = std::string(secure ? "https://" : "http://") + host + ":" +
                            std::to_string(port) + EscapeUnsafe(request->mPath);
    const std::string body(static_cast<const char*>(optional), optionalLength);
    {
        std::lock_guard<std::mutex> hold(request->mLock);
        request->mSent = false;
        request->mAnswer.clear();
        request->mReadPos = 0;
    }
    return Perform(*request, url, SplitHeaders(headers, headersLength), body, optionalLength != 0)
               ? TRUE
               : FALSE;
}

namespace {

// The request whose security flags an option call names; null (with the last error set) when
// the handle or the option is not one the stand-in has. The handle is kept alive by `holder`.
TRequest* SecurityOptionTarget(HINTERNET handle, DWORD option,
                               std::shared_ptr<TInetHandle>& holder) {
    holder = Find(handle);
    if (!holder) {
        return nullptr;
    }
    if (option != INTERNET_OPTION_SECURITY_FLAGS) {
        SetLastError(ERROR_INTERNET_INVALID_OPTION);
        return nullptr;
    }
    if (holder->mKind != TKind::kRequest) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return static_cast<TRequest*>(holder.get());
}

} // namespace

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
    std::shared_ptr<TInetHandle> holder;
    TRequest* request = SecurityOptionTarget(handle, option, holder);
    if (request == nullptr) {
        return FALSE;
    }
    if (bufferLength == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
        *bufferLength = sizeof(DWORD);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(request->mLock);
    const DWORD flags = request->mSecurityFlags;
    std::memcpy(buffer, &flags, sizeof flags);
    *bufferLength = sizeof(DWORD);
    return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
    std::shared_ptr<TInetHandle> holder;
    TRequest* request = SecurityOptionTarget(handle, option, holder);
    if (request == nullptr) {
        return FALSE;
    }
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (bufferLength != sizeof(DWORD)) {
        SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
        return FALSE;
    }
    DWORD flags = 0;
    std::memcpy(&flags, buffer, sizeof flags);
    std::lock_guard<std::mutex> hold(request->mLock);
    // Whether the channel was secure is for the stand-in to say.
    request->mSecurityFlags =
        (flags & ~SECURITY_FLAG_SECURE) | (request->mSecurityFlags & SECURITY_FLAG_SECURE);
    return TRUE;
}

BOOL InternetQueryDataAvailable(HINTERNET requestHandle, LPDWORD bytesAvailable, DWORD, DWORD_PTR) {
    auto request = FindKind<TRequest>(requestHandle, TKind::kRequest);
    if (!request) {
        return FALSE;
    }
    if (bytesAvailable == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(request->mLock);
    if (!request->mSent) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    // What a network read would hand over at a time.
    constexpr size_t kChunk = 65536;
    *bytesAvailable =
        static_cast<DWORD>(std::min(kChunk, request->mAnswer.size() - request->mReadPos));
    return TRUE;
}

BOOL InternetReadFile(HINTERNET requestHandle, LPVOID buffer, DWORD bytesToRead,
                      LPDWORD bytesRead) {
    auto request = FindKind<TRequest>(requestHandle, TKind::kRequest);
    if (!request) {
        return FALSE;
    }
    if (bytesRead == nullptr || (buffer == nullptr && bytesToRead != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(request->mLock);
    if (!request->mSent) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    const size_t n = std::min<size_t>(bytesToRead, request->mAnswer.size() - request->mReadPos);
    if (n != 0) {
        std::memcpy(buffer, request->mAnswer.data() + request->mReadPos, n);
    }
    request->mReadPos += n;
    *bytesRead = static_cast<DWORD>(n);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    std::vector<std::shared_ptr<TInetHandle>> closed;
    {
        TRegistry& registry = Registry();
        std::lock_guard<std::mutex> hold(registry.lock);
        auto it = registry.handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == registry.handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const TInetHandle* root = it->second.get();
        for (auto at = registry.handles.begin(); at != registry.handles.end();) {
            if (at->second.get() == root || at->second->IsBelow(root)) {
                at->second->mClosed.store(true);
                closed.push_back(std::move(at->second));
                at = registry.handles.erase(at);
            } else {
                ++at;
            }
        }
    }
    // The objects die here, outside the lock, unless a call under way still holds one.
    return TRUE;
}
