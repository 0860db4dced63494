// Puts a planned answer on the wire, fault included: delays, a lying or absent length, chunked
// coding, paced pieces, a stall, a reset. Closes the connection itself whenever the answer
// leaves it unusable for another request.
#pragma once

#include <string>

#include "tools/tileserver/ResponsePlan.h"
#include "tools/tileserver/SocketStream.h"

namespace tileserver {

struct SendOutcome {
  std::string text;       // for the log, e.g. "200 tile", "reset after 0 bytes", "stall after 100 bytes"
  bool keepOpen = false;  // the connection may carry another request
};

class ResponseWriter {
 public:
  static SendOutcome Send(SocketStream& socket, const ResponsePlan& plan);

  // The head, without the body. Exposed for tests.
  static std::string Head(const ResponsePlan& plan, bool closeAfter);
};

}  // namespace tileserver
