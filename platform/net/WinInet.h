// The platform's HTTP client (WinINet) in its blocking mode: the subset the product code calls.
//
// A root handle (InternetOpenW) holds the client settings, a connection handle (InternetConnectW)
// names a server and port, a request handle (HttpOpenRequestW) is one GET. After HttpSendRequestW
// returns, the status line and headers are readable (HttpQueryInfoW); the body is then pulled with
// InternetReadFile, which returns success with 0 bytes only at the end of the body.
#pragma once

#include "platform/kernel/PlatformTypes.h"

using HINTERNET = void*;
using INTERNET_PORT = uint16_t;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;  // the device's configured proxy (http_proxy / no_proxy)
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;

constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000u;
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u;
constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000u;

constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000u;

// Error codes (GetLastError) of the client.
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);

HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);

// `bufferLength` is in bytes, in and out. Text (UTF-16, terminated) unless HTTP_QUERY_FLAG_NUMBER.
// Too small a buffer fails with ERROR_INSUFFICIENT_BUFFER and the size needed; an absent header
// fails with ERROR_HTTP_HEADER_NOT_FOUND.
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index);

BOOL InternetQueryDataAvailable(HINTERNET file, DWORD* bytesAvailable, DWORD flags, DWORD_PTR context);

// Reads at most `bytesToRead` body bytes, blocking until some arrive or the body ends. Success with
// 0 bytes means the end of the body; a broken or timed-out body fails.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead);

BOOL InternetCloseHandle(HINTERNET handle);
