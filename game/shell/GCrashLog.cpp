#include "game/shell/GCrashLog.h"

#include "engine/core/log.h"

#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxFrames = 64;

// A line built in place: nothing here may allocate or lock.
class GLineText {
public:
    GLineText& Add(const char* text) {
        while (*text != '\0' && mLength + 1 < sizeof mText) {
            mText[mLength++] = *text++;
        }
        mText[mLength] = '\0';
        return *this;
    }
    // At least `width` digits, zeros or blanks in front.
    GLineText& AddNumber(uint64_t value, unsigned base = 10, int width = 1, char fill = '0') {
        char digits[32];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && count < static_cast<int>(sizeof digits));
        for (int i = count; i < width; ++i) {
            Add(fill == '0' ? "0" : " ");
        }
        char text[2] = {};
        while (count > 0) {
            text[0] = digits[--count];
            Add(text);
        }
        return *this;
    }
    const char* Text() const { return mText; }

private:
    char mText[256] = {};
    size_t mLength = 0;
};

// The engine log's stamp, e.g. "Thu Jan  1 00:00:00 1970", worked out by hand: the C library's
// local-time calls take locks.
void AddTimeStamp(GLineText& line, long utcOffset) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t seconds = static_cast<int64_t>(time(nullptr)) + utcOffset;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Days since 1970-01-01 to a civil date, in 400-year eras beginning on 1 March.
    const int64_t shifted = days + 719468;
    const int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const int64_t weekday = ((days % 7) + 11) % 7; // 1970-01-01 was a Thursday
    line.Add(kDays[weekday]).Add(" ").Add(kMonths[month - 1]).Add(" ");
    line.AddNumber(static_cast<uint64_t>(day), 10, 2, ' ').Add(" ");
    line.AddNumber(static_cast<uint64_t>(rest / 3600), 10, 2).Add(":");
    line.AddNumber(static_cast<uint64_t>(rest / 60 % 60), 10, 2).Add(":");
    line.AddNumber(static_cast<uint64_t>(rest % 60), 10, 2).Add(" ");
    line.AddNumber(static_cast<uint64_t>(year));
}

const char* SignalName(int signal) {
    return signal == SIGSEGV ? "SIGSEGV" : "signal";
}

} // namespace

GCrashLog::GCrashLog() {
    const str path = GetLogPath();
    const size_t length = static_cast<size_t>(path.Length());
    if (length < sizeof mPath) {
        std::memcpy(mPath, path.CStr(), length + 1);
        for (char& c : mPath) {
            if (c == '\\') {
                c = '/';
            }
        }
    }
    const time_t now = time(nullptr);
    tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        mUtcOffset = local.tm_gmtoff;
    }
    void* frames[1];
    backtrace(frames, 1);
}

void GCrashLog::WriteLine(int file, const char* text) const {
    GLineText line;
    AddTimeStamp(line, mUtcOffset);
    line.Add(": ").Add(text).Add("\r\n");
    const char* at = line.Text();
    size_t left = std::strlen(at);
    while (left > 0) {
        const ssize_t written = write(file, at, left);
        if (written <= 0) {
            return;
        }
        at += written;
        left -= static_cast<size_t>(written);
    }
}

void GCrashLog::WriteFault(int signal, const void* address, pid_t thread) const {
    if (mPath[0] == '\0') {
        return;
    }
    const int file = open(mPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) {
        return;
    }
    GLineText fault;
    fault.Add("Crash: ").Add(SignalName(signal)).Add(" (signal ");
    fault.AddNumber(static_cast<uint64_t>(signal)).Add(") at address 0x");
    fault.AddNumber(reinterpret_cast<uintptr_t>(address), 16).Add(" on thread ");
    fault.AddNumber(static_cast<uint64_t>(thread));
    WriteLine(file, fault.Text());
    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    GLineText header;
    header.Add("Backtrace, ").AddNumber(static_cast<uint64_t>(count)).Add(" frames:");
    WriteLine(file, header.Text());
    backtrace_symbols_fd(frames, count, file);
    close(file);
}
