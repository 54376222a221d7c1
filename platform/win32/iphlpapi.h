// IP Helper's adapter list: GetAdaptersInfo over the machine's network interfaces (hardware
// addresses from the kernel's packet-level interface list). Any thread may call it.
#pragma once

#include <ctime>

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

#define MAX_ADAPTER_NAME_LENGTH 256
#define MAX_ADAPTER_DESCRIPTION_LENGTH 128
#define MAX_ADAPTER_ADDRESS_LENGTH 8

#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_NO_DATA 232L

#define MIB_IF_TYPE_OTHER 1
#define MIB_IF_TYPE_ETHERNET 6
#define MIB_IF_TYPE_TOKENRING 9
#define MIB_IF_TYPE_PPP 23
#define MIB_IF_TYPE_LOOPBACK 24
#define IF_TYPE_IEEE80211 71

struct IP_ADDRESS_STRING {
    char String[16];
};
using IP_MASK_STRING = IP_ADDRESS_STRING;

struct IP_ADDR_STRING {
    IP_ADDR_STRING* Next;
    IP_ADDRESS_STRING IpAddress;
    IP_MASK_STRING IpMask;
    DWORD Context;
};
using PIP_ADDR_STRING = IP_ADDR_STRING*;

struct IP_ADAPTER_INFO {
    IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
    char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
    DWORD Index;
    UINT Type;
    UINT DhcpEnabled;
    PIP_ADDR_STRING CurrentIpAddress;
    IP_ADDR_STRING IpAddressList;
    IP_ADDR_STRING GatewayList;
    IP_ADDR_STRING DhcpServer;
    BOOL HaveWins;
    IP_ADDR_STRING PrimaryWinsServer;
    IP_ADDR_STRING SecondaryWinsServer;
    std::time_t LeaseObtained;
    std::time_t LeaseExpires;
};
using PIP_ADAPTER_INFO = IP_ADAPTER_INFO*;

// Writes one record per adapter (loopback and address-less interfaces are left out), chained
// through Next, physical devices first. ERROR_BUFFER_OVERFLOW, with *outBufLen set to the size
// needed, when the buffer is null or too small; ERROR_NO_DATA when there is no adapter;
// ERROR_INVALID_PARAMETER for a null size pointer.
DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapterInfo, ULONG* outBufLen);
