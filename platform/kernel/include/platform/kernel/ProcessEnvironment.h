// What a program finds about itself and around it: its environment variables, the path of its
// executable, whether a file exists, and a small file read whole.
#pragma once

#include <string>

#include "platform/kernel/PlatformTypes.h"

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Copies the variable's value (UTF-16, terminated) into `buffer` of `size` units and returns its
// length without the terminator. When it does not fit (or buffer is null), returns the size needed
// including the terminator and writes nothing. 0 with ERROR_ENVVAR_NOT_FOUND when it is not set.
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);

// The full path of the program's executable (`module` must be null: the program itself), copied as
// GetEnvironmentVariableW copies; when it does not fit it is cut to size - 1 units, terminated,
// and the result is `size` with ERROR_INSUFFICIENT_BUFFER. 0 when it cannot be found.
DWORD GetModuleFileNameW(void* module, LPWSTR buffer, DWORD size);

// FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_NORMAL for anything else that exists, or
// INVALID_FILE_ATTRIBUTES (with ERROR_FILE_NOT_FOUND) when nothing is there.
DWORD GetFileAttributesW(LPCWSTR path);

// Reads a regular file of at most `maxBytes` bytes whole into `bytes`. FALSE with
// ERROR_FILE_NOT_FOUND when it is not there, ERROR_ACCESS_DENIED when it cannot be read or is not a
// regular file (a folder, a FIFO or a device is never waited on), ERROR_FILE_TOO_LARGE when larger.
BOOL ReadSmallFile(LPCWSTR path, DWORD maxBytes, std::string* bytes);
