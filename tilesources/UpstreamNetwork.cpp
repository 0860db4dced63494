#include "tilesources/UpstreamNetwork.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>
#include <string_view>

namespace tilesources {
namespace {

// What the transfer's callbacks fill.
struct Sink {
  UpstreamReply reply;
  bool tooLarge = false;
};

}  // namespace

struct UpstreamNetwork::Request {
  uint64_t id = 0;
  std::string url;
  curl_slist* head = nullptr;
  UpstreamRequestOptions options;
  Done done;
  CURL* easy = nullptr;
  Sink sink;
  char error[CURL_ERROR_SIZE] = {};
  int64_t retryDelayMs = UpstreamNetwork::kFirstRetryDelayMs;
  int64_t dueMs = 0;  // when waiting to be sent again

  ~Request() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    curl_slist_free_all(head);
  }
};

namespace {

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t bytes = size * count;
  if (sink->reply.body.size() + bytes > UpstreamNetwork::kMaxBodyBytes) {
    sink->tooLarge = true;
    return 0;  // ends the transfer with an error
  }
  sink->reply.body.append(data, bytes);
  return bytes;
}

// Keeps the head of the last answer only: a redirect's or a 100's fields are not the tile's.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  UpstreamReply* reply = &static_cast<Sink*>(user)->reply;
  const size_t bytes = size * count;
  std::string_view line(data, bytes);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.substr(0, 5) == "HTTP/") {
    reply->headers.clear();
    return bytes;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return bytes;
  std::string name(line.substr(0, colon));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  reply->headers.emplace_back(std::move(name), std::string(value));
  return bytes;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The URL's host (and port when it names one), for error lines.
std::string HostOf(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  const size_t end = url.find_first_of("/?#", start);
  return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The host is down or cut off (as opposed to answering badly): worth asking again later.
bool HostDown(CURLcode code, CURL* curl) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return true;
    case CURLE_OPERATION_TIMEDOUT: {
      curl_off_t connectedUs = 0;
      curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectedUs);
      return connectedUs == 0;  // no connection within the connect time-out
    }
    default: return false;
  }
}

bool CertificateFailure(CURLcode code) {
  return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE ||
         code == CURLE_SSL_ISSUER_ERROR || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH;
}

}  // namespace

std::shared_ptr<UpstreamNetwork> UpstreamNetwork::Shared(int maxHostConnections) {
  static std::mutex mutex;
  static std::map<int, std::weak_ptr<UpstreamNetwork>> networks;
  std::lock_guard<std::mutex> lock(mutex);
  std::weak_ptr<UpstreamNetwork>& slot = networks[maxHostConnections];
  std::shared_ptr<UpstreamNetwork> network = slot.lock();
  if (!network) {
    network = std::make_shared<UpstreamNetwork>(maxHostConnections);
    slot = network;
  }
  return network;
}

UpstreamNetwork::UpstreamNetwork(int maxHostConnections) : maxHostConnections_(std::max(maxHostConnections, 1)) {
  GlobalInit();
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(maxHostConnections_));
  // Connections kept alive: a few hosts' worth (a template's subdomains, a proxy).
  curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, static_cast<long>(maxHostConnections_ * 4));
  multi_ = multi;
  CURLSH* share = curl_share_init();
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  share_ = share;
  thread_ = std::thread([this] { Run(); });
}

UpstreamNetwork::~UpstreamNetwork() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
  thread_.join();
  curl_multi_cleanup(static_cast<CURLM*>(multi_));
  curl_share_cleanup(static_cast<CURLSH*>(share_));
}

uint64_t UpstreamNetwork::Start(const std::string& url, const std::vector<std::string>& headerLines,
                                const UpstreamRequestOptions& options, Done done) {
  auto request = std::make_unique<Request>();
  request->url = url;
  for (const std::string& line : headerLines) request->head = curl_slist_append(request->head, line.c_str());
  request->options = options;
  request->done = std::move(done);
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = request->id = nextId_++;
    starting_.push_back(std::move(request));
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
  return id;
}

void UpstreamNetwork::Cancel(uint64_t id) {
  std::unique_ptr<Request> dropped;  // its callback, and what that holds, go outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(starting_.begin(), starting_.end(), [id](const auto& r) { return r->id == id; });
    auto waiting = std::find_if(waiting_.begin(), waiting_.end(), [id](const auto& r) { return r->id == id; });
    if (it != starting_.end()) {
      dropped = std::move(*it);  // not yet taken up: never sent
      starting_.erase(it);
    } else if (waiting != waiting_.end()) {
      dropped = std::move(*waiting);
      waiting_.erase(waiting);
    } else {
      cancelling_.push_back(id);
    }
  }
  if (!dropped) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

int64_t UpstreamNetwork::ConnectionsOpened() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connectionsOpened_;
}

void UpstreamNetwork::TakeUpNew() {
  std::vector<std::unique_ptr<Request>> starting;
  std::vector<uint64_t> cancelling;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    starting.swap(starting_);
    cancelling.swap(cancelling_);
  }
  CURLM* multi = static_cast<CURLM*>(multi_);
  for (uint64_t id : cancelling) {
    auto it = std::find_if(running_.begin(), running_.end(), [id](const auto& r) { return r->id == id; });
    if (it == running_.end()) continue;  // already answered
    // Removing the handle resets its HTTP/2 stream; an HTTP/1.1 connection mid-answer is closed.
    curl_multi_remove_handle(multi, (*it)->easy);
    running_.erase(it);
  }
  for (std::unique_ptr<Request>& request : starting) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
      request->sink.reply.error = HostOf(request->url) + ": no transfer handle";
      request->done(std::move(request->sink.reply));
      continue;
    }
    request->easy = curl;
    curl_easy_setopt(curl, CURLOPT_PRIVATE, request.get());
    curl_easy_setopt(curl, CURLOPT_SHARE, static_cast<CURLSH*>(share_));
    curl_easy_setopt(curl, CURLOPT_URL, request->url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request->options.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, request->head);
    // HTTP/2 when TLS's ALPN agrees, HTTP/1.1 otherwise (and on plain http).
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    // Waits for a connection being set up (and its ALPN answer) rather than opening a second.
    curl_easy_setopt(curl, CURLOPT_PIPEWAIT, 1L);
    if (!request->options.useProxyEnvironment) curl_easy_setopt(curl, CURLOPT_PROXY, "");
    if (!request->options.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, request->options.caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, request->error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &request->sink);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &request->sink);
    running_.push_back(std::move(request));
    if (curl_multi_add_handle(multi, curl) != CURLM_OK) {
      Finish(curl, CURLE_FAILED_INIT);
    }
  }
}

void UpstreamNetwork::Finish(void* easy, int result) {
  CURL* curl = static_cast<CURL*>(easy);
  auto it = std::find_if(running_.begin(), running_.end(), [curl](const auto& r) { return r->easy == curl; });
  if (it == running_.end()) return;
  std::unique_ptr<Request> request = std::move(*it);
  running_.erase(it);
  curl_multi_remove_handle(static_cast<CURLM*>(multi_), curl);
  const CURLcode code = static_cast<CURLcode>(result);
  long status = 0, connects = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &connects);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connectionsOpened_ += connects;
  }
  if (code != CURLE_OK && request->options.retryWhileDown && HostDown(code, curl)) {
    // Sent again as new later: the answer so far, and the handle, are dropped.
    curl_easy_cleanup(request->easy);
    request->easy = nullptr;
    request->sink = Sink{};
    request->error[0] = '\0';
    request->dueMs = SteadyMs() + request->retryDelayMs;
    request->retryDelayMs = std::min(request->retryDelayMs * 2, kMaxRetryDelayMs);
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(request));
    return;
  }
  UpstreamReply reply = std::move(request->sink.reply);
  reply.status = static_cast<int>(status);
  if (code == CURLE_OK) {
    reply.reached = true;
  } else {
    reply.timedOut = code == CURLE_OPERATION_TIMEDOUT;
    reply.certificateRefused = CertificateFailure(code);
    std::string why = request->sink.tooLarge ? "an answer larger than " + std::to_string(kMaxBodyBytes) + " bytes"
                      : request->error[0] != '\0' ? std::string(request->error)
                                                  : std::string(curl_easy_strerror(code));
    if (reply.certificateRefused) why = "TLS certificate refused: " + why;
    reply.error = HostOf(request->url) + ": " + why;
  }
  Done done = std::move(request->done);
  request.reset();
  done(std::move(reply));
}

void UpstreamNetwork::Run() {
  CURLM* multi = static_cast<CURLM*>(multi_);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
    }
    const int64_t nextDueMs = RetryDue(SteadyMs());
    TakeUpNew();
    int active = 0;
    curl_multi_perform(multi, &active);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) Finish(message->easy_handle, message->data.result);
    }
    const int64_t untilDueMs = nextDueMs - SteadyMs();
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::clamp<int64_t>(untilDueMs, 0, 1000)), nullptr);
  }
  // Unanswered requests end here: their callbacks are not called (their callers are going too).
  for (std::unique_ptr<Request>& request : running_) curl_multi_remove_handle(multi, request->easy);
  running_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  starting_.clear();
  waiting_.clear();
}

int64_t UpstreamNetwork::RetryDue(int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t next = nowMs + 1000;
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    if ((*it)->dueMs <= nowMs) {
      starting_.push_back(std::move(*it));
      it = waiting_.erase(it);
    } else {
      next = std::min(next, (*it)->dueMs);
      ++it;
    }
  }
  return next;
}

}  // namespace tilesources
