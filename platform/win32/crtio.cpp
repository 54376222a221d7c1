#include "platform/win32/crtio.h"

#include "platform/win32/pathconv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace crt {

struct FILE {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool append = false;
    bool text = true;
    bool eof = false;
    bool error = false;
    // Raw bytes of the file from offset bufferStart; `next` indexes the next unread one.
    unsigned char buffer[4096];
    long long bufferStart = 0;
    size_t length = 0;
    size_t next = 0;
    int pushback = -1;
};

namespace {

long long Position(const FILE* stream) {
    return stream->bufferStart + static_cast<long long>(stream->next);
}

// Next raw byte, refilling the buffer; -1 at the end or on error.
int RawByte(FILE* stream) {
    if (stream->next == stream->length) {
        const long long at = Position(stream);
        ssize_t got;
        do {
            got = pread(stream->fd, stream->buffer, sizeof stream->buffer, at);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            stream->error = true;
            return -1;
        }
        stream->bufferStart = at;
        stream->length = static_cast<size_t>(got);
        stream->next = 0;
        if (got == 0) {
            return -1;
        }
    }
    return stream->buffer[stream->next++];
}

int PeekRawByte(FILE* stream) {
    const int c = RawByte(stream);
    if (c >= 0) {
        --stream->next;
    }
    return c;
}

// Next byte as the program sees it, or -1 at the end.
int ReadByte(FILE* stream) {
    if (stream->pushback >= 0) {
        const int c = stream->pushback;
        stream->pushback = -1;
        return c;
    }
    int c = RawByte(stream);
    if (c == '\r' && stream->text && PeekRawByte(stream) == '\n') {
        c = RawByte(stream);
    }
    return c;
}

bool WriteAll(int fd, const char* bytes, size_t count, long long* at, bool append) {
    if (append) {
        *at = lseek(fd, 0, SEEK_END);
        if (*at < 0) {
            return false;
        }
    }
    while (count > 0) {
        const ssize_t put = pwrite(fd, bytes, count, *at);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += put;
        count -= static_cast<size_t>(put);
        *at += put;
    }
    return true;
}

bool IsReadOnlyFile(const struct stat& info) {
    return (info.st_mode & S_IWUSR) == 0;
}

} // namespace

FILE* fopen(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == '\0') {
        return nullptr;
    }
    int flags = 0;
    bool reading = false;
    bool writing = false;
    bool append = false;
    switch (mode[0]) {
    case 'r':
        reading = true;
        break;
    case 'w':
        writing = true;
        flags = O_CREAT | O_TRUNC;
        break;
    case 'a':
        writing = true;
        append = true;
        flags = O_CREAT;
        break;
    default:
        return nullptr;
    }
    bool text = true;
    for (const char* m = mode + 1; *m != '\0'; ++m) {
        if (*m == '+') {
            reading = writing = true;
        } else if (*m == 'b') {
            text = false;
        } else if (*m == 't') {
            text = true;
        }
    }
    flags |= reading && writing ? O_RDWR : (writing ? O_WRONLY : O_RDONLY);

    const std::string posix = standin::ToPosixPath(path);
    struct stat info {};
    if (stat(posix.c_str(), &info) == 0 &&
        (S_ISDIR(info.st_mode) || (writing && IsReadOnlyFile(info)))) {
        return nullptr;
    }
    const int fd = open(posix.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    auto* stream = new FILE;
    stream->fd = fd;
    stream->canRead = reading;
    stream->canWrite = writing;
    stream->append = append;
    stream->text = text;
    if (append) {
        const off_t end = lseek(fd, 0, SEEK_END);
        stream->bufferStart = end < 0 ? 0 : end;
    }
    return stream;
}

int fclose(FILE* stream) {
    if (stream == nullptr) {
        return EOF;
    }
    const int result = close(stream->fd);
    delete stream;
    return result == 0 ? 0 : EOF;
}

size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
    if (stream == nullptr || buffer == nullptr || size == 0 || count == 0) {
        return 0;
    }
    if (!stream->canRead || count > std::numeric_limits<size_t>::max() / size) {
        stream->error = true;
        return 0;
    }
    const size_t want = size * count;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t got = 0;
    while (got < want) {
        // Binary reads copy straight out of the buffer.
        if (!stream->text && stream->pushback < 0 && stream->next < stream->length) {
            const size_t run = std::min(want - got, stream->length - stream->next);
            std::memcpy(out + got, stream->buffer + stream->next, run);
            stream->next += run;
            got += run;
            continue;
        }
        const int c = ReadByte(stream);
        if (c < 0) {
            if (!stream->error) {
                stream->eof = true;
            }
            break;
        }
        out[got++] = static_cast<unsigned char>(c);
    }
    return got / size;
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    if (stream == nullptr || buffer == nullptr || size == 0 || count == 0) {
        return 0;
    }
    if (!stream->canWrite || count > std::numeric_limits<size_t>::max() / size) {
        stream->error = true;
        return 0;
    }
    const size_t total = size * count;
    const char* bytes = static_cast<const char*>(buffer);
    long long at = Position(stream) - (stream->pushback >= 0 ? 1 : 0);
    stream->pushback = -1;
    bool ok = true;
    if (!stream->text) {
        ok = WriteAll(stream->fd, bytes, total, &at, stream->append);
    } else {
        std::string chunk;
        chunk.reserve(total + total / 8 + 2);
        for (size_t i = 0; i < total; ++i) {
            if (bytes[i] == '\n') {
                chunk += '\r';
            }
            chunk += bytes[i];
        }
        ok = WriteAll(stream->fd, chunk.data(), chunk.size(), &at, stream->append);
    }
    // Whatever was buffered for reading is stale now.
    stream->bufferStart = at;
    stream->length = 0;
    stream->next = 0;
    if (!ok) {
        stream->error = true;
        return 0;
    }
    return count;
}

int fseek(FILE* stream, long offset, int origin) {
    if (stream == nullptr) {
        return -1;
    }
    long long base;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = Position(stream) - (stream->pushback >= 0 ? 1 : 0);
        break;
    case SEEK_END: {
        struct stat info {};
        if (fstat(stream->fd, &info) != 0) {
            return -1;
        }
        base = info.st_size;
        break;
    }
    default:
        return -1;
    }
    const long long target = base + offset;
    if (target < 0) {
        return -1;
    }
    stream->pushback = -1;
    stream->eof = false;
    if (target >= stream->bufferStart &&
        target <= stream->bufferStart + static_cast<long long>(stream->length)) {
        stream->next = static_cast<size_t>(target - stream->bufferStart);
    } else {
        stream->bufferStart = target;
        stream->length = 0;
        stream->next = 0;
    }
    return 0;
}

long ftell(FILE* stream) {
    if (stream == nullptr) {
        return -1;
    }
    const long long at = Position(stream) - (stream->pushback >= 0 ? 1 : 0);
    return static_cast<long>(at < 0 ? 0 : at);
}

int feof(FILE* stream) {
    return stream != nullptr && stream->eof ? 1 : 0;
}

int ferror(FILE* stream) {
    return stream != nullptr && stream->error ? 1 : 0;
}

int fgetc(FILE* stream) {
    unsigned char c = 0;
    return fread(&c, 1, 1, stream) == 1 ? c : EOF;
}

int ungetc(int c, FILE* stream) {
    if (stream == nullptr || c == EOF) {
        return EOF;
    }
    stream->pushback = static_cast<unsigned char>(c);
    stream->eof = false;
    return stream->pushback;
}

int fflush(FILE* stream) {
    // Writes go straight to the file; nothing is held back.
    return stream == nullptr ? EOF : 0;
}

int _access(const char* path, int mode) {
    if (path == nullptr) {
        return -1;
    }
    const std::string posix = standin::ToPosixPath(path);
    struct stat info {};
    if (stat(posix.c_str(), &info) != 0) {
        return -1;
    }
    if ((mode & 2) != 0 && (IsReadOnlyFile(info) || access(posix.c_str(), W_OK) != 0)) {
        return -1;
    }
    if ((mode & 4) != 0 && access(posix.c_str(), R_OK) != 0) {
        return -1;
    }
    return 0;
}

int _mkdir(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return -1;
    }
    return mkdir(standin::ToPosixPath(path).c_str(), 0777) == 0 ? 0 : -1;
}

} // namespace crt
