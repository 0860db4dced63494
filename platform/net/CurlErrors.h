// The client's error code for a failed libcurl transfer.
#pragma once

#include <curl/curl.h>

#include "platform/kernel/PlatformTypes.h"

DWORD InternetErrorFromCurl(CURLcode code);
