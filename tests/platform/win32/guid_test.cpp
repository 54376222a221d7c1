#include "platform/win32/objbase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(CoCreateGuid, DistinctVersion4Guids) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        GUID guid{};
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] >> 6, 2);
        seen.insert(std::string(reinterpret_cast<const char*>(&guid), sizeof guid));
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(CoCreateGuid, NullIsAnError) {
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

} // namespace
