// Inside the stand-in: the kernel object behind a file handle, shared by the file and mapping
// calls.
#pragma once

#include "platform/win32/handleapi.h"

namespace standin {

class TFileHandle final : public TKernelObject {
public:
    explicit TFileHandle(int fd) : mFd(fd) {}
    ~TFileHandle() override;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Fd() const { return mFd; }

private:
    int mFd;
};

// The file object behind a handle, or null when the handle is not a file.
TFileHandle* AsFile(HANDLE handle);

} // namespace standin
