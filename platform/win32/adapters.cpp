#include "platform/win32/iphlpapi.h"

#include "platform/win32/standin_adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Adapter {
    std::string name;
    std::vector<BYTE> address;
    DWORD index = 0;
    UINT type = MIB_IF_TYPE_OTHER;
    bool physical = false;
    std::string ip = "0.0.0.0";
    std::string mask = "0.0.0.0";
};

std::mutex gFakeLock;
std::optional<std::vector<standin::FakeAdapter>> gFake;

bool SysfsEntryExists(const std::string& interface, const char* entry) {
    struct stat info {};
    return stat(("/sys/class/net/" + interface + "/" + entry).c_str(), &info) == 0;
}

std::vector<Adapter> MachineAdapters() {
    std::vector<Adapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return adapters;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) {
            continue;
        }
        sockaddr_ll link{};
        std::memcpy(&link, entry->ifa_addr, sizeof link);
        if (link.sll_hatype == ARPHRD_LOOPBACK || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const std::size_t length =
            std::min<std::size_t>(link.sll_halen, MAX_ADAPTER_ADDRESS_LENGTH);
        std::vector<BYTE> address(link.sll_addr, link.sll_addr + length);
        // An interface without a hardware address (tunnels and the like) cannot identify anything.
        if (std::all_of(address.begin(), address.end(), [](BYTE b) { return b == 0; })) {
            continue;
        }
        Adapter adapter;
        adapter.name = entry->ifa_name;
        adapter.address = std::move(address);
        adapter.index = static_cast<DWORD>(link.sll_ifindex);
        if (SysfsEntryExists(adapter.name, "wireless")) {
            adapter.type = IF_TYPE_IEEE80211;
        } else if (link.sll_hatype == ARPHRD_ETHER) {
            adapter.type = MIB_IF_TYPE_ETHERNET;
        } else if (link.sll_hatype == ARPHRD_PPP) {
            adapter.type = MIB_IF_TYPE_PPP;
        }
        adapter.physical = SysfsEntryExists(adapter.name, "device");
        adapters.push_back(std::move(adapter));
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        for (Adapter& adapter : adapters) {
            if (adapter.name != entry->ifa_name || adapter.ip != "0.0.0.0") {
                continue;
            }
            char text[INET_ADDRSTRLEN] = {};
            sockaddr_in ip{};
            std::memcpy(&ip, entry->ifa_addr, sizeof ip);
            if (inet_ntop(AF_INET, &ip.sin_addr, text, sizeof text)) {
                adapter.ip = text;
            }
            if (entry->ifa_netmask != nullptr) {
                sockaddr_in mask{};
                std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
                if (inet_ntop(AF_INET, &mask.sin_addr, text, sizeof text)) {
                    adapter.mask = text;
                }
            }
        }
    }
    freeifaddrs(list);
    // Physical devices first, so that the first record is a stable one when containers and
    // virtual bridges come and go; then by interface index.
    std::stable_sort(adapters.begin(), adapters.end(), [](const Adapter& a, const Adapter& b) {
        if (a.physical != b.physical) {
            return a.physical;
        }
        return a.index < b.index;
    });
    return adapters;
}

std::vector<Adapter> CurrentAdapters() {
    {
        const std::lock_guard<std::mutex> lock(gFakeLock);
        if (gFake) {
            std::vector<Adapter> adapters;
            DWORD index = 1;
            for (const standin::FakeAdapter& fake : *gFake) {
                Adapter adapter;
                adapter.name = fake.name;
                adapter.address.assign(fake.address.begin(),
                                       fake.address.begin() +
                                           static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                               fake.address.size(), MAX_ADAPTER_ADDRESS_LENGTH)));
                adapter.index = index++;
                adapter.type = MIB_IF_TYPE_ETHERNET;
                adapter.physical = true;
                adapters.push_back(std::move(adapter));
            }
            return adapters;
        }
    }
    return MachineAdapters();
}

void CopyText(char* out, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(size - 1, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

void FillAddress(IP_ADDR_STRING& entry, const std::string& ip, const std::string& mask) {
    entry.Next = nullptr;
    CopyText(entry.IpAddress.String, sizeof entry.IpAddress.String, ip);
    CopyText(entry.IpMask.String, sizeof entry.IpMask.String, mask);
    entry.Context = 0;
}

} // namespace

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapterInfo, ULONG* outBufLen) {
    if (outBufLen == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::vector<Adapter> adapters = CurrentAdapters();
    if (adapters.empty()) {
        return ERROR_NO_DATA;
    }
    const std::size_t needed = adapters.size() * sizeof(IP_ADAPTER_INFO);
    if (adapterInfo == nullptr || *outBufLen < needed) {
        *outBufLen = static_cast<ULONG>(needed);
        return ERROR_BUFFER_OVERFLOW;
    }
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const Adapter& adapter = adapters[i];
        IP_ADAPTER_INFO& record = adapterInfo[i];
        std::memset(&record, 0, sizeof record);
        record.Next = i + 1 < adapters.size() ? &adapterInfo[i + 1] : nullptr;
        record.ComboIndex = adapter.index;
        CopyText(record.AdapterName, sizeof record.AdapterName, adapter.name);
        CopyText(record.Description, sizeof record.Description, adapter.name);
        record.AddressLength = static_cast<UINT>(adapter.address.size());
        std::copy(adapter.address.begin(), adapter.address.end(), record.Address);
        record.Index = adapter.index;
        record.Type = adapter.type;
        FillAddress(record.IpAddressList, adapter.ip, adapter.mask);
        FillAddress(record.GatewayList, "0.0.0.0", "0.0.0.0");
        FillAddress(record.DhcpServer, "", "");
        FillAddress(record.PrimaryWinsServer, "", "");
        FillAddress(record.SecondaryWinsServer, "", "");
    }
    return ERROR_SUCCESS;
}

namespace standin {

void SetFakeAdapters(const std::vector<FakeAdapter>& adapters) {
    const std::lock_guard<std::mutex> lock(gFakeLock);
    gFake = adapters;
}

void UseRealAdapters() {
    const std::lock_guard<std::mutex> lock(gFakeLock);
    gFake.reset();
}

} // namespace standin
