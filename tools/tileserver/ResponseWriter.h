// Puts a planned answer on the wire, fault included: delays, a lying or absent length, chunked
// coding, paced pieces, a stall, a reset. Closes the connection itself whenever the answer
// leaves it unusable for another request.
#pragma once

#include <functional>
#include <string>

#include "tools/tileserver/ResponsePlan.h"
#include "tools/tileserver/SocketStream.h"

namespace tileserver {

struct SendOutcome {
  std::string text;       // for the log, e.g. "200 tile", "reset after 0 bytes", "stall after 100 bytes"
  bool keepOpen = false;  // the connection may carry another request
};

// Told the outcome just before the answer's last bytes are written (so that whoever has read the
// whole answer finds it reported), and told again if the outcome changes after all.
using OutcomeReport = std::function<void(const std::string& outcome)>;

class ResponseWriter {
 public:
  static SendOutcome Send(SocketStream& socket, const ResponsePlan& plan, const OutcomeReport& report = {});

  // The head, without the body. Exposed for tests.
  static std::string Head(const ResponsePlan& plan, bool closeAfter);
};

}  // namespace tileserver
