#include "engine/core/computerid.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/blowfish.h"
#include "engine/core/cipher.h"
#include "platform/win32/iphlpapi.h"

namespace {

// Room for 16 adapter records at the first try.
constexpr ULONG kAdapterBufferRecords = 16;

// Reads the machine's 128-bit identifier written as 32 hexadecimal digits.
bool ReadMachineId(const char* path, std::uint8_t (&id)[16]) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        return false;
    }
    char text[64] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) {
        return false;
    }
    for (std::size_t i = 0; i < 16; ++i) {
        unsigned value = 0;
        if (std::sscanf(text + 2 * i, "%2x", &value) != 1) {
            return false;
        }
        id[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

// Stands in for the adapter's address when the machine has none: derived from the machine's
// own identifier so that the id stays the same from run to run, and passed through a keyed
// cipher first because that identifier is not meant to be shown as it is.
bool MachineBytes(std::uint8_t (&bytes)[16]) {
    std::uint8_t id[16];
    if (!ReadMachineId("/etc/machine-id", id) && !ReadMachineId("/var/lib/dbus/machine-id", id)) {
        return false;
    }
    static const std::uint8_t kKey[] = {'c', 'o', 'm', 'p', 'u', 't', 'e', 'r', 'i', 'd'};
    TBlowfish blowfish;
    blowfish.SetKey(kKey, sizeof kKey);
    std::uint32_t high[2] = {ReadU32BE(id + 8), ReadU32BE(id + 12)};
    blowfish.EncryptBlock(high[0], high[1]);
    std::uint32_t low[2] = {ReadU32BE(id) ^ high[0], ReadU32BE(id + 4) ^ high[1]};
    blowfish.EncryptBlock(low[0], low[1]);
    WriteU32BE(bytes, low[0]);
    WriteU32BE(bytes + 4, low[1]);
    WriteU32BE(bytes + 8, high[0]);
    WriteU32BE(bytes + 12, high[1]);
    return true;
}

bool FirstAdapterAddress(std::uint8_t (&bytes)[16]) {
    ULONG size = kAdapterBufferRecords * sizeof(IP_ADAPTER_INFO);
    std::vector<IP_ADAPTER_INFO> buffer(kAdapterBufferRecords);
    DWORD result = GetAdaptersInfo(buffer.data(), &size);
    // More adapters than the first buffer holds: the first one is still the one wanted.
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign((size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO),
                      IP_ADAPTER_INFO{});
        size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
        result = GetAdaptersInfo(buffer.data(), &size);
    }
    if (result != ERROR_SUCCESS) {
        return false;
    }
    std::memcpy(bytes, buffer[0].Address, MAX_ADAPTER_ADDRESS_LENGTH);
    return true;
}

} // namespace

str ComputeComputerId() {
    std::uint8_t bytes[16] = {};
    if (!FirstAdapterAddress(bytes) && !MachineBytes(bytes)) {
        TGuid guid{};
        NewGuid(&guid);
        std::memcpy(bytes, guid.data, sizeof bytes);
    }
    bytes[6] = bytes[3];
    bytes[7] = bytes[4];
    char id[17];
    for (std::size_t i = 0; i < 8; ++i) {
        const int x = bytes[(i + 1) % 8] ^ bytes[i];
        id[2 * i] = static_cast<char>((x & 31) + 64);
        id[2 * i + 1] = static_cast<char>((x >> 5) + static_cast<int>(i) + 66);
    }
    id[16] = '\0';
    return str(id);
}
