// The platform's HTTP client (WinINet) in its blocking mode: the subset the product code calls.
//
// A root handle (InternetOpenW) holds the client settings, a connection handle (InternetConnectW)
// names a server and port, a request handle (HttpOpenRequestW) is one GET. After HttpSendRequestW
// returns, the status line and headers are readable (HttpQueryInfoW); the body is then pulled with
// InternetReadFile, which returns success with 0 bytes only at the end of the body.
//
// Handles: a value comes back only after its slot has been reused 2^24 times, so a closed or unknown handle fails with
// ERROR_INVALID_HANDLE and a handle of the wrong kind with ERROR_INTERNET_INCORRECT_HANDLE_TYPE; neither can crash.
// Handles may be closed in any order: a connection or request keeps the settings of its parent, so closing a root or
// connection handle first leaves its children working until they are closed themselves. Closing a request aborts its
// transfer; a call blocked on that request in another thread then fails with ERROR_INTERNET_OPERATION_CANCELLED:
// closing a request is how a caller aborts it. Calls on one request are serialised.
//
// Connections: finished connections are kept alive in one pool for the whole process and handed to
// the next request for the same server (for a direct request: the same scheme, host and port) or
// through the same proxy, whichever root and connection handles it was opened on. A request gives its
// connection back when its handle is closed, if its answer was read to its end (or had no body) and
// the server keeps the connection open (HTTP/1.1, no "Connection: close"). A connection that ended
// in an error, a reset, a time-out or a cancel, or whose body was not read to its end, is closed
// instead. A request takes a connection only when it is idle, so no two live
// requests ever share one. At most kInternetMaxIdleConnectionsPerServer idle connections are kept for
// one server or proxy and kInternetMaxIdleConnections in all (the oldest makes room); one idle for
// kInternetIdleConnectionTimeoutMs is closed, and one the server has closed meanwhile is never used.
// If a kept connection turns out to be dead when the request is sent (no byte of an answer on it),
// the request is sent once more on a new connection.
//
// Proxy: INTERNET_OPEN_TYPE_PRECONFIG uses the device's proxy setting: the environment variable
// `http_proxy` (lower case) names the one proxy for every request, http (in proxy form) and https
// (through a CONNECT tunnel) alike, and `no_proxy` (lower case, comma-separated host names, which
// also match their sub-domains, addresses, or "*") lists the hosts that bypass it. No other variable
// is read (HTTP_PROXY, https_proxy, ALL_PROXY, NO_PROXY are ignored). INTERNET_OPEN_TYPE_DIRECT never
// uses a proxy. A proxy's own answer to CONNECT is never taken for the server's answer: a tunnel the
// proxy refuses, or that never carries the server's answer, fails the send.
//
// Redirects (301, 302, 303, 307, 308 with a Location) are followed, at most
// kInternetMaxRedirects of them; the status and headers are then those of the final response.
//
// Time-outs: connecting may take at most the connect time-out; once the request is sent, a wait
// inside a call in which no byte arrives for the receive time-out fails with ERROR_INTERNET_TIMEOUT
// (a failed send while waiting for the head, a failed read while waiting for the body). Time spent
// outside the client's calls does not count. Defaults are the platform's: 60 s and 30 s. The device's
// settings come from the environment variables ORVAN_NET_CONNECT_TIMEOUT_MS and
// ORVAN_NET_RECEIVE_TIMEOUT_MS (read once, at the first request), and InternetSetDeviceTimeouts
// overrides them for the whole process. Each request reads the settings when it is sent.
//
// Minimum speed: a server that keeps sending, but too slowly, is bounded as well. Once the request
// is sent, time inside the client's calls is cut into windows of kInternetDefaultMinimumSpeedWindowMs;
// a window in which fewer than kInternetDefaultMinimumSpeed bytes per second arrived (head and body)
// fails the call waiting in it with ERROR_INTERNET_TIMEOUT. InternetSetDeviceMinimumSpeed changes both.
//
// Body framing: a declared Content-Length is trusted only when it is a plain non-negative decimal
// (every Content-Length header agreeing); the body is then exactly that many bytes, and a connection
// that closes or breaks before them fails the read (bytes after them are not part of the body).
// HttpQueryInfoW still returns the header text exactly as the server sent it, even "-5" or
// "99999999999" (a length that is no number at all, such as "-5", is read by asking the server once
// more on a new connection, as the underlying library refuses such a head). A declared length that is not a valid
// number makes the head readable but every body read fail with ERROR_HTTP_INVALID_SERVER_RESPONSE, since the body's end
// cannot be known. Without a declared length (or with a transfer coding) the body ends when the server ends it cleanly.
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
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;

// Limits and defaults of the client.
constexpr DWORD kInternetMaxRedirects = 10;
constexpr DWORD kInternetDefaultConnectTimeoutMs = 60000;
constexpr DWORD kInternetDefaultReceiveTimeoutMs = 30000;
constexpr DWORD kInternetDefaultMinimumSpeed = 100;  // bytes per second
constexpr DWORD kInternetDefaultMinimumSpeedWindowMs = 60000;
constexpr size_t kInternetMaxIdleConnectionsPerServer = 16;  // per server, or per proxy
constexpr size_t kInternetMaxIdleConnections = 64;
constexpr DWORD kInternetIdleConnectionTimeoutMs = 30000;

// The device's internet time-outs for the whole process, in milliseconds, used by every request sent
// afterwards. 0 for either restores its default (the environment setting, else the platform's).
void InternetSetDeviceTimeouts(DWORD connectMs, DWORD receiveMs);

// The device's minimum speed for the whole process, used by every request sent afterwards: fewer
// than `bytesPerSecond` over a window of `windowMs` fails like a time-out. 0 for either restores its
// default.
void InternetSetDeviceMinimumSpeed(DWORD bytesPerSecond, DWORD windowMs);

// `accessType` is INTERNET_OPEN_TYPE_PRECONFIG or INTERNET_OPEN_TYPE_DIRECT; `proxy` and
// `proxyBypass` are ignored. The agent is sent as the User-Agent (none when null or empty).
HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);

// `serverName` is a host name or IPv4 address (letters, digits, '-', '.', '_'); anything else fails
// with ERROR_INTERNET_INVALID_URL. A user name, when given and not empty, is sent with `password` as
// HTTP basic authentication (to the named server only, not to a server redirected to).
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);

// `verb` null or "GET"; `objectName` the path and query (null: "/"); spaces, control and non-ASCII
// characters in it are sent percent-encoded (as UTF-8). Nothing is sent before HttpSendRequestW.
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version, LPCWSTR referrer,
                           LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);

// Sends the request and waits for the final response's status line and headers. Extra headers and a
// request body are not supported (ERROR_INVALID_PARAMETER). A request is sent once.
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength);

// `bufferLength` is in bytes, in and out. Text (UTF-16, terminated) unless HTTP_QUERY_FLAG_NUMBER.
// Too small a buffer fails with ERROR_INSUFFICIENT_BUFFER and the size needed; an absent header
// fails with ERROR_HTTP_HEADER_NOT_FOUND. On success `bufferLength` receives the bytes written without
// the terminator. Levels: HTTP_QUERY_STATUS_CODE, HTTP_QUERY_CONTENT_LENGTH (the header text as sent).
// With HTTP_QUERY_FLAG_NUMBER the value is a DWORD (4 bytes); a header that is not an unsigned 32-bit
// decimal then fails with ERROR_HTTP_INVALID_HEADER. `index`, when given, picks the n-th header of that
// name and is advanced on success.
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index);

// The number of body bytes that can be read at once without waiting; waits until there are some or the
// body can give no more. 0 means the next InternetReadFile will not wait: it reports the end of the
// body, or the body's failure (a broken or timed-out body is reported by that read, not here, so a
// caller that reads after every successful query never loops on a dead body). Fails only for the
// handle's own errors and when the handle is closed during the wait.
BOOL InternetQueryDataAvailable(HINTERNET file, DWORD* bytesAvailable, DWORD flags, DWORD_PTR context);

// Reads at most `bytesToRead` body bytes, blocking until some arrive or the body ends. Success with
// 0 bytes means the end of the body; a broken or timed-out body fails.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead);

// Closes any client handle (see the handle rules above).
BOOL InternetCloseHandle(HINTERNET handle);

// Client objects still alive (open handles and objects a call in progress still holds); a stand-in
// diagnostic for leak checks.
size_t InternetLiveObjectCount();

// Idle connections kept in the pool now, and closing all of them: stand-in diagnostics for tests and
// benchmarks that need to start without kept connections.
size_t InternetIdleConnectionCount();
void InternetCloseIdleConnections();
