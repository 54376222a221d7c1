// Scripted failures of the stand-ins: a chosen method of a chosen object (or of every object)
// answers a chosen result, once or until cleared. Not part of the Win32 surface.
#pragma once

#include "platform/win32/wintypes.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace standin::detail {

class TFaultTable {
public:
    void Set(const void* object, std::string method, HRESULT result, bool once) {
        std::lock_guard<std::mutex> hold(mMutex);
        mFaults.push_back(TFault{object, std::move(method), result, once});
    }

    void Clear() {
        std::lock_guard<std::mutex> hold(mMutex);
        mFaults.clear();
    }

    // The result scripted for `method` of `object`, if any; a one-time fault is used up.
    std::optional<HRESULT> Take(const void* object, const char* method) {
        std::lock_guard<std::mutex> hold(mMutex);
        for (auto it = mFaults.begin(); it != mFaults.end(); ++it) {
            if ((it->object == nullptr || it->object == object) && it->method == method) {
                const HRESULT result = it->result;
                if (it->once) {
                    mFaults.erase(it);
                }
                return result;
            }
        }
        return std::nullopt;
    }

private:
    struct TFault {
        const void* object;
        std::string method;
        HRESULT result;
        bool once;
    };
    std::mutex mMutex;
    std::vector<TFault> mFaults;
};

} // namespace standin::detail
