// Windows of other processes: a published top-level window listens on a local socket named after
// its class under the user's runtime folder; FindWindowA of another process connects to it and
// gets a stand-in handle through which it can bring the window to the front, show it or post to
// it. What arrives is carried out by the window's own thread inside its message calls.
// Host windows (a web-portal host holding the game's window) listen likewise under their handle
// number; a window of ours created as a child of one keeps a connection to it, over which the
// host's own messages come.
#include "platform/win32/runtimefolder.h"
#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace standin::detail;

enum : std::uint32_t {
    kQuery = 1,
    kRequest = 2,
    // Host windows only: the client size; a window of ours joining the host; a host message.
    kClientRect = 3,
    kAttach = 4,
    kHostMessage = 5,
};

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

// A process stopped and continued (a debugger, job control) sees EINTR from a socket call with a
// time-out even without a handler: the call is simply made again.
bool SendAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
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
        if (got < 0 && errno == EINTR) {
            continue;
        }
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

// A listening socket at `path`; -1 when another live listener has it or it cannot be made.
int ListenAt(const std::string& path) {
    sockaddr_un address{};
    if (!FillAddress(path, &address)) {
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // A socket nobody answers on is left over from a process that ended.
        const int probe = errno == EADDRINUSE ? Connect(path) : -1;
        if (probe >= 0 || errno != ECONNREFUSED) {
            if (probe >= 0) {
                close(probe);
            }
            close(fd);
            return -1;
        }
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
    }
    if (listen(fd, 8) != 0) {
        close(fd);
        unlink(path.c_str());
        return -1;
    }
    return fd;
}

std::string HostSocketPath(std::uintptr_t handle) {
    char number[24];
    std::snprintf(number, sizeof number, "%llx", static_cast<unsigned long long>(handle));
    return RuntimeFileName("host", number, ".sock");
}

std::string HostSocketPath(HWND host) {
    return HostSocketPath(reinterpret_cast<std::uintptr_t>(host));
}

// One exchange with a host: the request out, `size` bytes of answer back.
bool HostExchange(HWND host, const TWire& wire, void* answer, size_t size) {
    const int fd = Connect(HostSocketPath(host));
    if (fd < 0) {
        return false;
    }
    const bool ok = SendAll(fd, &wire, sizeof wire) && ReceiveAll(fd, answer, size);
    close(fd);
    return ok;
}

// How long a post waits for the game to say the message is queued. One that answers later is not
// counted, but keeps its link: its late answer is read before the next one.
constexpr int kPostAnswerSeconds = 30;

enum class TAnswer { kGot, kLate, kGone };

TAnswer ReceiveAnswer(int fd, unsigned char* answer) {
    for (;;) {
        const ssize_t got = recv(fd, answer, 1, 0);
        if (got == 1) {
            return TAnswer::kGot;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? TAnswer::kLate
                                                                    : TAnswer::kGone;
    }
}

struct TSizeAnswer {
    std::uint32_t taken;
    std::int32_t width;
    std::int32_t height;
};

// A window of ours held by a host: the connection the host's messages come over.
struct THostLink {
    int fd = -1;
    std::thread thread;
};

std::map<HWND, THostLink>& HostLinks() {
    // Never destroyed, like the listeners.
    static auto* links = new std::map<HWND, THostLink>();
    return *links;
}

// Queues what the host posts for our window and acknowledges each message once it is queued,
// until the host goes away or the window lets go.
void ServeHostLink(HWND window, int fd) {
    TWire wire{};
    while (ReceiveAll(fd, &wire, sizeof wire)) {
        unsigned char answer = 0;
        if (wire.op == kHostMessage) {
            PostTo(window, wire.message, static_cast<WPARAM>(wire.wParam),
                   static_cast<LPARAM>(wire.lParam));
            answer = 1;
        }
        if (!SendAll(fd, &answer, 1)) {
            return;
        }
    }
}

} // namespace

struct standin::THostWindow::TState {
    std::mutex lock;
    std::uintptr_t handle = 0;
    int width = 0;
    int height = 0;
    int listenFd = -1;
    std::string path;
    std::thread thread;
    std::vector<TMessage> messages;
    // The connections of the attached windows; `lock` guards the list, `postLock` the exchanges
    // over them, so that a slow answer never holds up the host's listener.
    struct TLink {
        int fd;
        unsigned owed; // answers to earlier posts that did not come in time
    };
    std::vector<TLink> attached;
    std::mutex postLock;
};

namespace {

using THostState = standin::THostWindow::TState;

void ServeHostClient(THostState& state, int client) {
    SetTimeouts(client);
    TWire wire{};
    if (!ReceiveAll(client, &wire, sizeof wire) || wire.titleLength != 0) {
        close(client);
        return;
    }
    if (wire.op == kClientRect) {
        TSizeAnswer answer{1, 0, 0};
        {
            std::lock_guard<std::mutex> hold(state.lock);
            answer.width = state.width;
            answer.height = state.height;
        }
        SendAll(client, &answer, sizeof answer);
        close(client);
        return;
    }
    unsigned char answer = 0;
    if (wire.op == kQuery) {
        answer = 1;
    } else if (wire.op == kRequest) {
        std::lock_guard<std::mutex> hold(state.lock);
        state.messages.push_back(standin::THostWindow::TMessage{
            wire.message, static_cast<WPARAM>(wire.wParam), static_cast<LPARAM>(wire.lParam)});
        answer = 1;
    } else if (wire.op == kAttach) {
        answer = 1;
        // Recorded before the game hears the answer: once its window exists, the host's count
        // and posts must already reach it.
        std::lock_guard<std::mutex> hold(state.lock);
        if (SendAll(client, &answer, 1)) {
            // A loaded machine may keep the game from answering a post for seconds.
            timeval limit{kPostAnswerSeconds, 0};
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            state.attached.push_back(THostState::TLink{client, 0});
        } else {
            close(client);
        }
        return;
    }
    SendAll(client, &answer, 1);
    close(client);
}

void ListenAsHost(const std::shared_ptr<THostState>& state, int fd) {
    for (;;) {
        const int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        ServeHostClient(*state, client);
    }
}

} // namespace

namespace standin::detail {

void PublishWindow(HWND window, const std::string& className) {
    const int fd = ListenAt(SocketPath(className));
    if (fd < 0) {
        return;
    }
    TListener listener;
    listener.fd = fd;
    listener.path = SocketPath(className);
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

namespace standin::detail {

bool IsForeignHandle(HWND window) {
    auto hold = Hold();
    return window != nullptr && WindowOf(window) == nullptr && Proxies().count(window) == 0;
}

bool IsHostWindow(HWND window) {
    if (!IsForeignHandle(window)) {
        return false;
    }
    TWire wire{};
    wire.op = kQuery;
    unsigned char answer = 0;
    return HostExchange(window, wire, &answer, 1) && answer == 1;
}

BOOL HostRequest(HWND host, UINT message, WPARAM wParam, LPARAM lParam) {
    TWire wire{};
    wire.op = kRequest;
    wire.message = message;
    wire.wParam = wParam;
    wire.lParam = lParam;
    unsigned char answer = 0;
    if (!IsForeignHandle(host) || !HostExchange(host, wire, &answer, 1) || answer != 1) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

bool HostClientRect(HWND host, RECT* rect) {
    TWire wire{};
    wire.op = kClientRect;
    TSizeAnswer answer{};
    if (!IsForeignHandle(host) || !HostExchange(host, wire, &answer, sizeof answer) ||
        answer.taken != 1) {
        return false;
    }
    *rect = RECT{0, 0, answer.width, answer.height};
    return true;
}

bool AttachToHost(HWND window, HWND host) {
    const int fd = Connect(HostSocketPath(host));
    if (fd < 0) {
        return false;
    }
    TWire wire{};
    wire.op = kAttach;
    wire.wParam = reinterpret_cast<std::uintptr_t>(window);
    unsigned char answer = 0;
    if (!SendAll(fd, &wire, sizeof wire) || !ReceiveAll(fd, &answer, 1) || answer != 1) {
        close(fd);
        return false;
    }
    // The host's messages come whenever it likes: no time-out while waiting for the next.
    timeval none{0, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
    THostLink link;
    link.fd = fd;
    link.thread = std::thread(ServeHostLink, window, fd);
    auto hold = Hold();
    HostLinks()[window] = std::move(link);
    return true;
}

void DetachFromHost(HWND window) {
    THostLink link;
    {
        auto hold = Hold();
        auto found = HostLinks().find(window);
        if (found == HostLinks().end()) {
            return;
        }
        link = std::move(found->second);
        HostLinks().erase(found);
    }
    shutdown(link.fd, SHUT_RDWR);
    link.thread.join();
    close(link.fd);
}

} // namespace standin::detail

namespace standin {

THostWindow::THostWindow() : mState(std::make_shared<TState>()) {}

THostWindow::~THostWindow() {
    Close();
}

bool THostWindow::Open(std::uintptr_t handle, int clientWidth, int clientHeight) {
    if (handle == 0 || mState->listenFd >= 0) {
        return false;
    }
    const std::string path = HostSocketPath(handle);
    const int fd = ListenAt(path);
    if (fd < 0) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(mState->lock);
        mState->handle = handle;
        mState->width = clientWidth;
        mState->height = clientHeight;
        mState->messages.clear();
    }
    mState->listenFd = fd;
    mState->path = path;
    mState->thread = std::thread(ListenAsHost, mState, fd);
    return true;
}

void THostWindow::Close() {
    if (mState->listenFd < 0) {
        return;
    }
    // Gone from the folder first: nobody reaches the host from here on.
    unlink(mState->path.c_str());
    shutdown(mState->listenFd, SHUT_RDWR);
    mState->thread.join();
    close(mState->listenFd);
    mState->listenFd = -1;
    std::lock_guard<std::mutex> posting(mState->postLock);
    std::lock_guard<std::mutex> hold(mState->lock);
    for (const TState::TLink& link : mState->attached) {
        shutdown(link.fd, SHUT_RDWR);
        close(link.fd);
    }
    mState->attached.clear();
}

HWND THostWindow::Handle() const {
    return reinterpret_cast<HWND>(mState->handle);
}

std::vector<THostWindow::TMessage> THostWindow::TakeMessages() {
    std::lock_guard<std::mutex> hold(mState->lock);
    std::vector<TMessage> taken;
    taken.swap(mState->messages);
    return taken;
}

int THostWindow::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> posting(mState->postLock);
    std::vector<TState::TLink> links;
    {
        std::lock_guard<std::mutex> hold(mState->lock);
        links = mState->attached;
    }
    TWire wire{};
    wire.op = kHostMessage;
    wire.message = message;
    wire.wParam = wParam;
    wire.lParam = lParam;
    int reached = 0;
    std::vector<int> gone;
    for (TState::TLink& link : links) {
        bool alive = SendAll(link.fd, &wire, sizeof wire);
        // Late answers to earlier posts come first; the last answer is this post's.
        ++link.owed;
        unsigned char answer = 0;
        while (alive && link.owed > 0) {
            const TAnswer got = ReceiveAnswer(link.fd, &answer);
            if (got != TAnswer::kGot) {
                alive = got == TAnswer::kLate;
                answer = 0;
                break;
            }
            --link.owed;
        }
        reached += alive && link.owed == 0 && answer == 1 ? 1 : 0;
        if (!alive) {
            // The window let go of the host.
            gone.push_back(link.fd);
        }
    }
    std::lock_guard<std::mutex> hold(mState->lock);
    auto& attached = mState->attached;
    for (auto it = attached.begin(); it != attached.end();) {
        const auto posted = std::find_if(links.begin(), links.end(),
                                         [&](const TState::TLink& l) { return l.fd == it->fd; });
        if (std::find(gone.begin(), gone.end(), it->fd) != gone.end()) {
            close(it->fd);
            it = attached.erase(it);
            continue;
        }
        if (posted != links.end()) {
            it->owed = posted->owed;
        }
        ++it;
    }
    return reached;
}

int THostWindow::AttachedCount() {
    std::lock_guard<std::mutex> posting(mState->postLock);
    std::lock_guard<std::mutex> hold(mState->lock);
    auto& attached = mState->attached;
    // A window that let go has hung up its end.
    for (auto it = attached.begin(); it != attached.end();) {
        pollfd probe{it->fd, POLLRDHUP, 0};
        if (poll(&probe, 1, 0) != 0 && (probe.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            close(it->fd);
            it = attached.erase(it);
        } else {
            ++it;
        }
    }
    return static_cast<int>(attached.size());
}

} // namespace standin
