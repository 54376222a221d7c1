// WinInet over libcurl: sessions, connections and HTTP(S) requests, synchronous only. A request
// fetches its whole answer when it is sent (InternetOpenUrlA, HttpSendRequestA); the answer is
// then served from memory by InternetQueryDataAvailable and InternetReadFile. Handles form a
// tree (session > connection > request, or session > URL request); closing one closes those
// below it, and any later use of a closed handle fails with ERROR_INVALID_HANDLE. Any thread may
// call these; one handle is used by one thread at a time, except InternetCloseHandle, which may
// come from another thread and cancels a transfer under way.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

using HINTERNET = LPVOID;
using INTERNET_PORT = WORD;

#define INTERNET_OPEN_TYPE_PRECONFIG 0u
#define INTERNET_OPEN_TYPE_DIRECT 1u
#define INTERNET_OPEN_TYPE_PROXY 3u
#define INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY 4u

#define INTERNET_SERVICE_HTTP 3u

#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

// Request flags.
#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_IGNORE_CERT_DATE_INVALID 0x00002000u
#define INTERNET_FLAG_IGNORE_CERT_CN_INVALID 0x00001000u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u
// Asynchronous sessions are not supported.
#define INTERNET_FLAG_ASYNC 0x10000000u

#define INTERNET_OPTION_SECURITY_FLAGS 31u

#define SECURITY_FLAG_SECURE 0x00000001u
#define SECURITY_FLAG_IGNORE_REVOCATION 0x00000080u
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100u
#define SECURITY_FLAG_IGNORE_WRONG_USAGE 0x00000200u
#define SECURITY_FLAG_IGNORE_CERT_CN_INVALID 0x00001000u
#define SECURITY_FLAG_IGNORE_CERT_DATE_INVALID 0x00002000u

#define HTTP_ADDREQ_FLAG_ADD_IF_NEW 0x10000000u
#define HTTP_ADDREQ_FLAG_ADD 0x20000000u
#define HTTP_ADDREQ_FLAG_REPLACE 0x80000000u

// InternetCrackUrlA: decode %xx escapes in the parts it copies out.
#define ICU_DECODE 0x10000000u

// Errors reported through GetLastError.
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INVALID_OPTION 12009L
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010L
#define ERROR_INTERNET_OPERATION_CANCELLED 12017L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_SEC_CERT_DATE_INVALID 12037L
#define ERROR_INTERNET_SEC_CERT_CN_INVALID 12038L
#define ERROR_INTERNET_INVALID_CA 12045L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_HTTP_HEADER_ALREADY_EXISTS 12155L
#define ERROR_HTTP_REDIRECT_FAILED 12156L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L

enum INTERNET_SCHEME : int {
    INTERNET_SCHEME_UNKNOWN = -1,
    INTERNET_SCHEME_DEFAULT = 0,
    INTERNET_SCHEME_FTP = 1,
    INTERNET_SCHEME_GOPHER = 2,
    INTERNET_SCHEME_HTTP = 3,
    INTERNET_SCHEME_HTTPS = 4,
    INTERNET_SCHEME_FILE = 5,
};

// For each text part: a buffer with its size (including the NUL) receives a copy and the length
// without the NUL; a null pointer with a non-zero length receives a pointer into the URL and the
// part's length; zero and null leave the part out. When the extra information (query and
// fragment) is left out, it stays on the end of the path. dwStructSize must be
// sizeof(URL_COMPONENTSA).
struct URL_COMPONENTSA {
    DWORD dwStructSize;
    LPSTR lpszScheme;
    DWORD dwSchemeLength;
    INTERNET_SCHEME nScheme;
    LPSTR lpszHostName;
    DWORD dwHostNameLength;
    INTERNET_PORT nPort;
    LPSTR lpszUserName;
    DWORD dwUserNameLength;
    LPSTR lpszPassword;
    DWORD dwPasswordLength;
    LPSTR lpszUrlPath;
    DWORD dwUrlPathLength;
    LPSTR lpszExtraInfo;
    DWORD dwExtraInfoLength;
};
using URL_COMPONENTS = URL_COMPONENTSA;
using LPURL_COMPONENTSA = URL_COMPONENTSA*;

// A session. PRECONFIG takes the proxy from the environment (loopback addresses never go
// through it), DIRECT uses none, PROXY the given one. INTERNET_FLAG_ASYNC is refused.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                        DWORD flags);
// Sends a GET for an http or https URL and receives the answer; an HTTP error status is still a
// success (its page is the data). `headers` with length (DWORD)-1 is NUL-terminated.
HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context);
// `urlLength` 0 means NUL-terminated. Flags: 0 or ICU_DECODE.
BOOL InternetCrackUrlA(LPCSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSA components);
// No network traffic yet: the connection is made when a request is sent. Port 0 means the
// default of the request (80, or 443 for INTERNET_FLAG_SECURE).
HINTERNET InternetConnectA(HINTERNET session, LPCSTR serverName, INTERNET_PORT port,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context);
// `verb` null means "GET", `objectName` null means "/", `version` "HTTP/1.0" or null
// (HTTP/1.1); `acceptTypes` is a null-terminated list or null (no Accept header).
HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// One or more "Name: value" lines separated by CR LF; `length` (DWORD)-1 means NUL-terminated.
// Nothing is added on the request's behalf: a POST without a Content-Type line is sent without
// one.
BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length, DWORD modifiers);
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
// INTERNET_OPTION_SECURITY_FLAGS on a request handle only (a DWORD).
BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
// Bytes that can be read now; 0 once the whole answer has been read.
BOOL InternetQueryDataAvailable(HINTERNET request, LPDWORD bytesAvailable, DWORD flags,
                                DWORD_PTR context);
// TRUE with 0 bytes read at the end of the answer.
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
// Closes the handle and every handle below it.
BOOL InternetCloseHandle(HINTERNET handle);
