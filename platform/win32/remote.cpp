// Windows of other processes: a published top-level window listens on a local socket named after
// its class under the user's runtime folder; FindWindowA of another process connects to it and
// gets a stand-in handle through which it can bring the window to the front, show it or post to
// it. What arrives is carried out by the window's own thread inside its message calls.
#include "platform/win32/runtimefolder.h"
#include "platform/win32/userstate.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace standin::detail;

std::unique_lock<std::mutex> Hold() {
    return std::unique_lock<std::mutex>(SyncLock());
}

enum : std::uint32_t { kQuery = 1, kRequest = 2 };

struct TWire {
    std::uint32_t op;
    std::uint32_t message;
    std::uint64_t wParam;
    std::int64_t lParam;
    std::uint32_t titleLength; // followed by that many bytes of UTF-8
    std::uint32_t hasTitle;
};

struct TListener {
    int fd = -1;
    std::string path;
    std::thread thread;
};

std::map<HWND, TListener>& Listeners() {
    // Never destroyed: a program may exit with its window open and its listener running.
    static auto* listeners = new std::map<HWND, TListener>();
    return *listeners;
}

// Stand-in handles of other processes' windows: the socket that reaches each.
std::map<HWND, std::string>& Proxies() {
    static auto* proxies = new std::map<HWND, std::string>();
    return *proxies;
}

std::string SocketPath(const std::string& className) {
    std::string lower = className;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return RuntimeFileName("window", lower, ".sock");
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
    if (path.empty() || path.size() >= sizeof address->sun_path) {
        return false;
    }
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SendAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = recv(fd, bytes, size, 0);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

void SetTimeouts(int fd) {
    timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

int Connect(const std::string& path) {
    sockaddr_un address{};
    if (!FillAddress(path, &address)) {
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    SetTimeouts(fd);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One exchange: the request out, one byte of answer back.
bool Exchange(const std::string& path, const TWire& wire, const std::string& title) {
    const int fd = Connect(path);
    if (fd < 0) {
        return false;
    }
    unsigned char answer = 0;
    const bool ok = SendAll(fd, &wire, sizeof wire) && SendAll(fd, title.data(), title.size()) &&
                    ReceiveAll(fd, &answer, 1);
    close(fd);
    return ok && answer == 1;
}

unsigned char Serve(HWND window, const TWire& wire, const std::string& title) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || record->destroying) {
        return 0;
    }
    if (wire.op == kQuery) {
        return wire.hasTitle == 0 || record->title == title ? 1 : 0;
    }
    if (wire.op != kRequest) {
        return 0;
    }
    const UINT message = wire.message;
    const auto wParam = static_cast<WPARAM>(wire.wParam);
    const auto lParam = static_cast<LPARAM>(wire.lParam);
    QueueOf(record->thread).tasks.push_back([window, message, wParam, lParam] {
        if (message == STANDIN_REMOTE_FOREGROUND) {
            SetForegroundWindow(window);
        } else if (message == STANDIN_REMOTE_SHOW) {
            ShowWindow(window, static_cast<int>(wParam));
        } else {
            PostMessageA(window, message, wParam, lParam);
        }
    });
    WakeQueues();
    return 1;
}

void Listen(HWND window, int fd) {
    for (;;) {
        const int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        SetTimeouts(client);
        TWire wire{};
        std::string title;
        unsigned char answer = 0;
        if (ReceiveAll(client, &wire, sizeof wire) && wire.titleLength <= 4096) {
            title.resize(wire.titleLength);
            if (ReceiveAll(client, title.data(), title.size())) {
                answer = Serve(window, wire, title);
            }
        }
        SendAll(client, &answer, 1);
        close(client);
    }
}

} // namespace

namespace standin::detail {

void PublishWindow(HWND window, const std::string& className) {
    const std::string path = SocketPath(className);
    sockaddr_un address{};
    if (!FillAddress(path, &address)) {
        return;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // A socket nobody answers on is left over from a process that ended.
        const int probe = errno == EADDRINUSE ? Connect(path) : -1;
        if (probe >= 0 || errno != ECONNREFUSED) {
            if (probe >= 0) {
                close(probe);
            }
            close(fd);
            return;
        }
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return;
        }
    }
    if (listen(fd, 8) != 0) {
        close(fd);
        unlink(path.c_str());
        return;
    }
    TListener listener;
    listener.fd = fd;
    listener.path = path;
    listener.thread = std::thread(Listen, window, fd);
    auto hold = Hold();
    Listeners()[window] = std::move(listener);
}

void WithdrawWindow(HWND window) {
    TListener listener;
    {
        auto hold = Hold();
        auto found = Listeners().find(window);
        if (found == Listeners().end()) {
            return;
        }
        listener = std::move(found->second);
        Listeners().erase(found);
    }
    unlink(listener.path.c_str());
    shutdown(listener.fd, SHUT_RDWR);
    listener.thread.join();
    close(listener.fd);
}

HWND FindRemoteWindow(const std::string& className, const char* title) {
    const std::string path = SocketPath(className);
    TWire wire{};
    wire.op = kQuery;
    std::string utf8;
    if (title != nullptr) {
        utf8 = Utf8FromAnsi(title);
        wire.hasTitle = 1;
        wire.titleLength = static_cast<std::uint32_t>(utf8.size());
    }
    if (!Exchange(path, wire, utf8)) {
        return nullptr;
    }
    auto hold = Hold();
    for (const auto& entry : Proxies()) {
        if (entry.second == path) {
            return entry.first;
        }
    }
    const HWND proxy = NewHandleValue();
    Proxies()[proxy] = path;
    return proxy;
}

bool IsRemoteWindow(HWND window) {
    auto hold = Hold();
    return window != nullptr && Proxies().count(window) != 0;
}

BOOL RemoteRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::string path;
    {
        auto hold = Hold();
        auto found = Proxies().find(window);
        if (found == Proxies().end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        path = found->second;
    }
    TWire wire{};
    wire.op = kRequest;
    wire.message = message;
    wire.wParam = wParam;
    wire.lParam = lParam;
    if (!Exchange(path, wire, std::string())) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

} // namespace standin::detail
