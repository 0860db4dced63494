// Serves one connection: reads requests one after another (keep-alive), answers control
// requests, and answers tile requests through the responder and the writer, logging each.
#pragma once

#include "tools/tileserver/ControlApi.h"
#include "tools/tileserver/RequestLog.h"
#include "tools/tileserver/TileResponder.h"

namespace tileserver {

class ConnectionHandler {
 public:
  ConnectionHandler(TileResponder& responder, ControlApi& control, RequestLog& log)
      : responder_(responder), control_(control), log_(log) {}

  // Takes ownership of the socket and returns when the connection is closed.
  void Serve(int fd);

 private:
  TileResponder& responder_;
  ControlApi& control_;
  RequestLog& log_;
};

}  // namespace tileserver
