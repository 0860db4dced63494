#include "tilesources/UpstreamClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace tilesources {
namespace {

struct Transfer {
  UpstreamReply* reply;
  bool tooLarge = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (transfer->reply->body.size() + bytes > UpstreamClient::kMaxBodyBytes) {
    transfer->tooLarge = true;
    return 0;  // ends the transfer with an error
  }
  transfer->reply->body.append(data, bytes);
  return bytes;
}

// Keeps the head of the last answer only: a redirect's or a 100's fields are not the tile's.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  std::string_view line(data, bytes);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.substr(0, 5) == "HTTP/") {
    transfer->reply->headers.clear();
    return bytes;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return bytes;
  std::string name(line.substr(0, colon));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  transfer->reply->headers.emplace_back(std::move(name), std::string(value));
  return bytes;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

UpstreamClient::UpstreamClient(std::string userAgent, int connections) : userAgent_(std::move(userAgent)) {
  GlobalInit();
  for (int i = 0; i < std::max(connections, 1); ++i) {
    CURL* handle = curl_easy_init();
    if (handle == nullptr) continue;
    all_.push_back(handle);
    idle_.push_back(handle);
  }
}

UpstreamClient::~UpstreamClient() {
  for (void* handle : all_) curl_easy_cleanup(static_cast<CURL*>(handle));
}

void* UpstreamClient::TakeHandle() {
  std::unique_lock<std::mutex> lock(mutex_);
  freed_.wait(lock, [this] { return !idle_.empty(); });
  void* handle = idle_.back();
  idle_.pop_back();
  return handle;
}

void UpstreamClient::GiveBack(void* handle) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(handle);
  }
  freed_.notify_one();
}

UpstreamReply UpstreamClient::Get(const std::string& url, const std::vector<std::string>& headerLines) {
  UpstreamReply reply;
  if (all_.empty()) {
    reply.error = "no transfer handle";
    return reply;
  }
  Transfer transfer{&reply};
  curl_slist* head = nullptr;
  for (const std::string& line : headerLines) head = curl_slist_append(head, line.c_str());

  CURL* curl = static_cast<CURL*>(TakeHandle());
  // Options that a previous request set are reset; the connection stays in the handle's cache.
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, head);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  GiveBack(curl);
  curl_slist_free_all(head);

  reply.status = static_cast<int>(status);
  if (code == CURLE_OK) {
    reply.reached = true;
  } else {
    reply.timedOut = code == CURLE_OPERATION_TIMEDOUT;
    reply.error = transfer.tooLarge ? "an answer larger than " + std::to_string(kMaxBodyBytes) + " bytes"
                                    : curl_easy_strerror(code);
  }
  return reply;
}

}  // namespace tilesources
