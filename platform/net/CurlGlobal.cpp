#include "platform/net/CurlGlobal.h"

#include <curl/curl.h>

bool CurlGlobal::Ready() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

namespace {
// Runs the set-up during static initialisation. This file is always linked: every request needs it.
const bool initialisedAtStart = CurlGlobal::Ready();
}  // namespace
