#include "platform/win32/memoryapi.h"

#include "platform/win32/standin_files.h"

#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TMapping final : public standin::TKernelObject {
public:
    TMapping(int fd, unsigned long long size) : mFd(fd), mSize(size) {}
    ~TMapping() override { close(mFd); }
    TMapping(const TMapping&) = delete;
    TMapping& operator=(const TMapping&) = delete;

    int mFd;
    unsigned long long mSize;
};

// Views by address, so that UnmapViewOfFile knows their lengths. Never destroyed: views may be
// unmapped by other objects' destructors at process exit.
std::mutex gViewLock;
std::map<const void*, size_t>& Views() {
    static auto* views = new std::map<const void*, size_t>;
    return *views;
}

} // namespace

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES /*attributes*/, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
    const standin::TFileHandle* handle = standin::AsFile(file);
    if (handle == nullptr || name != nullptr ||
        (protect & ~static_cast<DWORD>(SEC_COMMIT)) != PAGE_READONLY) {
        return nullptr;
    }
    struct stat info {};
    if (fstat(handle->Fd(), &info) != 0) {
        return nullptr;
    }
    const auto fileSize = static_cast<unsigned long long>(info.st_size);
    unsigned long long size =
        (static_cast<unsigned long long>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (size == 0) {
        size = fileSize;
    }
    // A read-only mapping cannot grow its file, and an empty one cannot be made at all.
    if (size == 0 || size > fileSize) {
        return nullptr;
    }
    const int fd = fcntl(handle->Fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    return static_cast<standin::TKernelObject*>(new TMapping(fd, size));
}

LPVOID MapViewOfFile(HANDLE mappingHandle, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytes) {
    const auto* mapping = dynamic_cast<const TMapping*>(standin::FromHandle(mappingHandle));
    if (mapping == nullptr || access != FILE_MAP_READ) {
        return nullptr;
    }
    const unsigned long long offset =
        (static_cast<unsigned long long>(offsetHigh) << 32) | offsetLow;
    const auto page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    if (offset >= mapping->mSize || offset % page != 0) {
        return nullptr;
    }
    const unsigned long long length = bytes == 0 ? mapping->mSize - offset : bytes;
    if (length > mapping->mSize - offset) {
        return nullptr;
    }
    void* view =
        mmap(nullptr, length, PROT_READ, MAP_SHARED, mapping->mFd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(gViewLock);
    Views()[view] = length;
    return view;
}

BOOL UnmapViewOfFile(LPCVOID address) {
    size_t length = 0;
    {
        std::lock_guard<std::mutex> lock(gViewLock);
        auto found = Views().find(address);
        if (found == Views().end()) {
            return FALSE;
        }
        length = found->second;
        Views().erase(found);
    }
    munmap(const_cast<void*>(address), length);
    return TRUE;
}
