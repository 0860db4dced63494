#include "tilesources/UpstreamClient.h"

#include <future>

namespace tilesources {

UpstreamReply UpstreamClient::Get(const std::string& url, const std::vector<std::string>& headerLines) {
  auto answer = std::make_shared<std::promise<UpstreamReply>>();
  std::future<UpstreamReply> reply = answer->get_future();
  Start(url, headerLines, [answer](UpstreamReply r) { answer->set_value(std::move(r)); });
  return reply.get();
}

}  // namespace tilesources
