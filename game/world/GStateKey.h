// The key of a visual object's animation state: the numbers of the state name's words, one byte
// each from the lowest, as the process-wide state-name table hands them out. Equal names give
// equal keys; 0 means no state. A plain value; main thread.
#pragma once

#include "engine/core/str.h"

#include <compare>
#include <cstdint>

class GStateKey {
public:
    constexpr GStateKey() = default;
    constexpr explicit GStateKey(uint64_t value) : mValue(value) {}

    // The key of a run-time name (its words are copied into the table); "" gives 0.
    static GStateKey FromString(const str& name);

    constexpr uint64_t GetValue() const { return mValue; }
    constexpr bool IsEmpty() const { return mValue == 0; }
    constexpr auto operator<=>(const GStateKey&) const = default;

private:
    uint64_t mValue = 0;
};
