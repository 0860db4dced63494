// Bytes a client sends the tile server: requests read off a connection one after another
// (pipelined, with bodies), then resolved to a host and a path the way the connection handler
// does. The bytes come through a socket pair, the stream the reader really reads.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "tools/tileserver/ControlApi.h"
#include "tools/tileserver/HttpRequestReader.h"
#include "tools/tileserver/TileAddress.h"

using namespace tileserver;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) __builtin_trap();
  // All bytes are written before reading starts; -max_len keeps them within the socket buffer.
  size_t written = 0;
  while (written < size) {
    const ssize_t n = ::send(ends[1], data + written, size - written, MSG_NOSIGNAL);
    if (n <= 0) __builtin_trap();
    written += size_t(n);
  }
  ::close(ends[1]);
  SocketStream socket(ends[0]);
  HttpRequestReader reader(socket);
  for (int i = 0; i < 1000; ++i) {
    ClientRequest request;
    if (reader.Next(request) != ReadStatus::Ok) break;
    const RequestTarget target = ResolveTarget(request);
    request.KeepAlive();
    if (ControlApi::IsControlPath(target.path)) continue;
    ClassifyHost(target.host);
    ParseTilePath(target.path);
  }
  return 0;
}
