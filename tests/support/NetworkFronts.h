// Real network parts on loopback for tests and benchmarks, each in a private folder and on a
// free port, stopped and removed by its destructor:
// - Http2Front: nghttpx speaking HTTP/2 over TLS (ALPN) in front of a plain HTTP/1.1 backend, with
//   a throwaway self-signed certificate for 127.0.0.1 made by openssl; its access log has one line
//   per request naming the client's TCP port, so connections can be counted.
// - ConnectProxy: tinyproxy, an HTTP proxy that tunnels https with CONNECT, with its log.
// Failures to start throw std::runtime_error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/HelperProgram.h"
#include "tests/support/TempFolder.h"

class Http2Front {
 public:
  static constexpr int kStartTimeoutMs = 10000;

  struct Request {
    int clientPort = 0;         // the TCP connection it came on
    bool sessionReused = false; // the TLS session was resumed
    std::string alpn;           // "h2", "http/1.1"
    int status = 0;
    std::string request;        // "GET /1/2/3.png HTTP/2"
  };

  // Why the front cannot run here (a program missing), or empty.
  static std::string Unavailable();

  // `http2` false: the front offers HTTP/1.1 only (ALPN), as a service without HTTP/2 would.
  explicit Http2Front(uint16_t backendPort, bool http2 = true);
  uint16_t Port() const { return port_; }
  std::string Origin() const { return "https://127.0.0.1:" + std::to_string(port_); }
  const std::string CaFile() const { return folder_.File("cert.pem"); }
  // A certificate of the same name that did not sign the front's: trusting it must fail.
  std::string OtherCaFile() const { return folder_.File("other.pem"); }
  std::vector<Request> AccessLog() const;
  // Distinct TCP connections that carried requests.
  size_t Connections() const;

 private:
  TempFolder folder_{"http2-front"};
  uint16_t port_ = 0;
  std::unique_ptr<HelperProgram> process_;
};

class ConnectProxy {
 public:
  static std::string Unavailable();

  // Allows CONNECT to 127.0.0.1:connectPort only.
  explicit ConnectProxy(uint16_t connectPort);
  uint16_t Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // The log's "CONNECT host:port" requests.
  std::vector<std::string> Connects() const;

 private:
  TempFolder folder_{"connect-proxy"};
  uint16_t port_ = 0;
  std::unique_ptr<HelperProgram> process_;
};
