#include "engine/core/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

namespace {

constexpr uint32_t kWrapThreshold = 102400;
constexpr uint32_t kWrapOffset = 51200;
const char kWrapBanner[] = "\n\n\n\n ****************** LOG WRAP AROUND ******************\n\n\n\n";
const char kMemoryMaxPrefix[] = "__MEMORYMAX__";

// Lines come from the main thread, the sound thread and HTTP threads; every field is guarded by
// the mutex. Never destroyed, so a line written while the process exits finds it intact.
struct TLogState {
    std::mutex mutex;
    str path;
    uint32_t writeOffset = 0;
    int memoryLimit = 0;
    TLogClock clock = nullptr;
};

TLogState& State() {
    static auto* state = new TLogState;
    return *state;
}

int gMemoryInUse = 0;
int gMemoryPeak = 0;

int64_t Now(TLogClock clock) {
    return clock ? clock() : static_cast<int64_t>(std::time(nullptr));
}

// The ctime layout without its line feed, e.g. "Thu Jan  1 00:00:00 1970".
std::string TimeStamp(int64_t seconds) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local) || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11)
        return "??? ??? ?? ??:??:?? ????";
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900);
    return text;
}

std::string FormatMessage(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

std::string FormatMessage(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    char small[1024];
    int needed = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (needed < 0) {
        text = "";
    } else if (static_cast<size_t>(needed) < sizeof small) {
        text.assign(small, static_cast<size_t>(needed));
    } else {
        text.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(needed));
    }
    va_end(again);
    return text;
}

// The log is a text-mode file: every line feed is written as carriage return plus line feed.
bool WriteText(FILE* file, const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return std::fwrite(out.data(), 1, out.size(), file) == out.size();
}

// The engine passes Windows path forms; the disk wants POSIX separators.
std::string DiskPath(const char* path) {
    std::string disk(path);
    for (char& c : disk)
        if (c == '\\')
            c = '/';
    return disk;
}

} // namespace

void SetLogFolder(const char* folder) {
    TLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (folder && std::strncmp(folder, kMemoryMaxPrefix, sizeof kMemoryMaxPrefix - 1) == 0) {
        // "__MEMORYMAX__=%d": the number follows the fourteenth character.
        state.memoryLimit = std::strlen(folder) > 14 ? std::atoi(folder + 14) : 0;
        return;
    }
    // An empty folder would put the log at the file-system root and delete a file there.
    if (!folder || !*folder) {
        state.path = str();
        return;
    }
    std::string diskFolder = DiskPath(folder);
    std::error_code error;
    if (!std::filesystem::exists(diskFolder, error))
        std::filesystem::create_directory(diskFolder, error);
    state.path = str(folder) + "/logfile.txt";
    std::remove(DiskPath(state.path.CStr()).c_str());
    state.writeOffset = 0;
}

str GetLogPath() {
    TLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    // A private copy: the caller's thread must not share the buffer with ours.
    return str(state.path.CStr());
}

void Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = FormatMessage(format, args);
    va_end(args);

    TLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.path.Length() == 0)
        return;
    std::string path = DiskPath(state.path.CStr());
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file)
        file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::string line = TimeStamp(Now(state.clock)) + ": " + message + "\n";
    bool ok;
    if (state.writeOffset > kWrapThreshold) {
        state.writeOffset = kWrapOffset;
        ok = std::fseek(file, kWrapOffset, SEEK_SET) == 0 && WriteText(file, kWrapBanner);
    } else {
        ok = std::fseek(file, static_cast<long>(state.writeOffset), SEEK_SET) == 0;
    }
    if (ok && WriteText(file, line)) {
        long end = std::ftell(file);
        if (end >= 0)
            state.writeOffset = static_cast<uint32_t>(end);
    }
    std::fflush(file);
    std::fclose(file);
}

int GetMemoryInUse() {
    return gMemoryInUse;
}

int GetMemoryPeak() {
    return gMemoryPeak;
}

void SetLogClock(TLogClock clock) {
    TLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.clock = clock;
}
