#include "engine/core/computerid.h"

#include "platform/win32/standin_adapters.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

class ComputerId : public ::testing::Test {
protected:
    void TearDown() override { standin::UseRealAdapters(); }
};

void ExpectWellFormed(const std::string& id) {
    ASSERT_EQ(id.size(), 16u) << id;
    for (std::size_t i = 0; i < 8; ++i) {
        const int pair = static_cast<int>(i);
        EXPECT_GE(id[2 * i], '@') << id;
        EXPECT_LE(id[2 * i], '_') << id;
        EXPECT_GE(id[2 * i + 1], 'B' + pair) << id;
        EXPECT_LE(id[2 * i + 1], 'I' + pair) << id;
    }
}

TEST_F(ComputerId, FromTheFirstAdaptersAddress) {
    struct Case {
        std::vector<standin::FakeAdapter> adapters;
        const char* expected;
    };
    const Case cases[] = {
        // Every XOR is 0: '@' and then 'B' + i.
        {{{"eth0", {0, 0, 0, 0, 0, 0}}}, "@B@C@D@E@F@G@H@I"},
        // Bytes 6 and 7 repeat bytes 3 and 4, so an all-ones address also XORs to 0.
        {{{"eth0", {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}}}, "@B@C@D@E@F@G@H@I"},
        {{{"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}}}, "QBSDQDWHQFFJWKDK"},
        // An 8-byte address: its last two bytes are replaced all the same.
        {{{"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}}}, "QBSDQDWHQFFJWKDK"},
        // The top three bits of a XOR go into the second character of the pair.
        {{{"eth0", {0x80, 0, 0, 0, 0, 0}}}, "@F@C@D@E@F@G@H@M"},
        // Only the first adapter counts.
        {{{"eth0", {0, 0, 0, 0, 0, 0}}, {"eth1", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}}},
         "@B@C@D@E@F@G@H@I"},
    };
    for (const Case& c : cases) {
        standin::SetFakeAdapters(c.adapters);
        EXPECT_STREQ(ComputeComputerId().CStr(), c.expected);
    }
}

TEST_F(ComputerId, ManyAdaptersStillGiveTheFirst) {
    std::vector<standin::FakeAdapter> adapters(40, {"veth", {1, 2, 3, 4, 5, 6}});
    adapters[0] = {"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    standin::SetFakeAdapters(adapters);
    EXPECT_STREQ(ComputeComputerId().CStr(), "QBSDQDWHQFFJWKDK");
}

std::string IdFromChildProcess() {
    int fds[2];
    if (pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const str id = ComputeComputerId();
        const ssize_t written = write(fds[1], id.CStr(), static_cast<std::size_t>(id.Length()));
        _exit(written == id.Length() ? 0 : 1);
    }
    close(fds[1]);
    std::string id;
    char buffer[64];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        id.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return id;
}

TEST_F(ComputerId, StableWithoutAnAdapter) {
    if (access("/etc/machine-id", R_OK) != 0 && access("/var/lib/dbus/machine-id", R_OK) != 0) {
        GTEST_SKIP() << "this machine has no identifier to derive the id from";
    }
    standin::SetFakeAdapters({});
    const std::string first = ComputeComputerId().CStr();
    ExpectWellFormed(first);
    EXPECT_EQ(ComputeComputerId().CStr(), first);
    EXPECT_EQ(IdFromChildProcess(), first);
}

TEST_F(ComputerId, StableOnThisMachine) {
    const std::string first = ComputeComputerId().CStr();
    ExpectWellFormed(first);
    EXPECT_EQ(ComputeComputerId().CStr(), first);
    EXPECT_EQ(IdFromChildProcess(), first);
}

} // namespace
