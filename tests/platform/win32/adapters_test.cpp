#include "platform/win32/iphlpapi.h"

#include "platform/win32/standin_adapters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class Adapters : public ::testing::Test {
protected:
    void TearDown() override { standin::UseRealAdapters(); }
};

TEST_F(Adapters, SizingProtocol) {
    standin::SetFakeAdapters({{"eth0", {1, 2, 3, 4, 5, 6}},
                              {"wlan0", {0xa, 0xb, 0xc, 0xd, 0xe, 0xf}},
                              {"long", {1, 2, 3, 4, 5, 6, 7, 8, 9}}});
    const ULONG needed = 3 * sizeof(IP_ADAPTER_INFO);
    EXPECT_EQ(GetAdaptersInfo(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    ULONG size = 12345;
    EXPECT_EQ(GetAdaptersInfo(nullptr, &size), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, needed);

    std::vector<IP_ADAPTER_INFO> buffer(3);
    size = needed - 1;
    EXPECT_EQ(GetAdaptersInfo(buffer.data(), &size), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, needed);

    size = needed;
    ASSERT_EQ(GetAdaptersInfo(buffer.data(), &size), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(buffer[0].Next, &buffer[1]);
    EXPECT_EQ(buffer[1].Next, &buffer[2]);
    EXPECT_EQ(buffer[2].Next, nullptr);
    EXPECT_STREQ(buffer[1].AdapterName, "wlan0");
    EXPECT_EQ(buffer[1].AddressLength, 6u);
    EXPECT_EQ(std::vector<BYTE>(buffer[1].Address, buffer[1].Address + 8),
              (std::vector<BYTE>{0xa, 0xb, 0xc, 0xd, 0xe, 0xf, 0, 0}));
    // The address field holds at most 8 bytes.
    EXPECT_EQ(buffer[2].AddressLength, 8u);
    EXPECT_EQ(buffer[2].Address[7], 8);
}

TEST_F(Adapters, NoAdapterIsNoData) {
    standin::SetFakeAdapters({});
    IP_ADAPTER_INFO info{};
    ULONG size = sizeof info;
    EXPECT_EQ(GetAdaptersInfo(&info, &size), static_cast<DWORD>(ERROR_NO_DATA));
}

TEST_F(Adapters, MachineListLeavesOutLoopbackAndEmptyAddresses) {
    ULONG size = 0;
    const DWORD probe = GetAdaptersInfo(nullptr, &size);
    if (probe == ERROR_NO_DATA) {
        GTEST_SKIP() << "this machine has no network adapter";
    }
    ASSERT_EQ(probe, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    ASSERT_EQ(size % sizeof(IP_ADAPTER_INFO), 0u);
    std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO));
    ASSERT_EQ(GetAdaptersInfo(buffer.data(), &size), static_cast<DWORD>(ERROR_SUCCESS));
    for (const IP_ADAPTER_INFO* info = buffer.data(); info != nullptr; info = info->Next) {
        SCOPED_TRACE(info->AdapterName);
        EXPECT_NE(std::string(info->AdapterName), "lo");
        EXPECT_NE(info->Type, static_cast<UINT>(MIB_IF_TYPE_LOOPBACK));
        EXPECT_GT(info->AddressLength, 0u);
        EXPECT_TRUE(std::any_of(info->Address, info->Address + info->AddressLength,
                                [](BYTE b) { return b != 0; }));
    }
}

} // namespace
