#include "tests/support/NetworkFronts.h"

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

constexpr int kOpensslTimeoutMs = 20000;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void MakeCertificate(const TempFolder& folder, const std::string& key, const std::string& cert) {
  const bool made = HelperProgram::Run(
      {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       folder.File(key), "-out", folder.File(cert), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
       "subjectAltName=IP:127.0.0.1,DNS:localhost"},
      folder.File("openssl.out"), kOpensslTimeoutMs);
  if (!made) throw std::runtime_error("openssl could not make a certificate: " + ReadFile(folder.File("openssl.out")));
}

}  // namespace

std::string Http2Front::Unavailable() {
  if (!HelperProgram::Installed("nghttpx")) return "nghttpx is not installed (Debian nghttp2-proxy)";
  if (!HelperProgram::Installed("openssl")) return "openssl is not installed";
  return "";
}

Http2Front::Http2Front(uint16_t backendPort, bool http2) {
  MakeCertificate(folder_, "key.pem", "cert.pem");
  MakeCertificate(folder_, "other-key.pem", "other.pem");
  port_ = HelperProgram::FreePort();
  std::vector<std::string> argv{"nghttpx", "--conf=/dev/null", "--frontend=127.0.0.1," + std::to_string(port_),
                                "--backend=127.0.0.1," + std::to_string(backendPort), "--workers=1", "--no-ocsp",
                                // Every stream of a screen goes on to the backend at once.
                                "--backend-connections-per-host=64",
                                "--accesslog-file=" + folder_.File("access.log"),
                                "--accesslog-format=$remote_port $ssl_session_reused $alpn $status $request",
                                "--errorlog-file=" + folder_.File("error.log")};
  if (!http2) argv.push_back("--npn-list=http/1.1");
  argv.push_back(folder_.File("key.pem"));
  argv.push_back(folder_.File("cert.pem"));
  process_ = std::make_unique<HelperProgram>(argv, folder_.File("nghttpx.out"));
  if (!HelperProgram::WaitForListener(port_, kStartTimeoutMs))
    throw std::runtime_error("nghttpx does not listen: " + ReadFile(folder_.File("error.log")));
}

std::vector<Http2Front::Request> Http2Front::AccessLog() const {
  std::vector<Request> requests;
  std::istringstream lines(ReadFile(folder_.File("access.log")));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    Request r;
    std::string reused;
    if (!(fields >> r.clientPort >> reused >> r.alpn >> r.status)) continue;
    r.sessionReused = reused == "r";
    std::getline(fields >> std::ws, r.request);
    requests.push_back(r);
  }
  return requests;
}

size_t Http2Front::Connections() const {
  std::set<int> ports;
  for (const Request& r : AccessLog()) ports.insert(r.clientPort);
  return ports.size();
}

std::string ConnectProxy::Unavailable() {
  return HelperProgram::Installed("tinyproxy") ? "" : "tinyproxy is not installed (Debian tinyproxy)";
}

ConnectProxy::ConnectProxy(uint16_t connectPort) {
  port_ = HelperProgram::FreePort();
  std::ofstream config(folder_.File("tinyproxy.conf"));
  config << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 60\nAllow 127.0.0.1\nConnectPort " << connectPort
         << "\nMaxClients 16\nLogLevel Connect\nLogFile \"" << folder_.File("tinyproxy.log") << "\"\nPidFile \""
         << folder_.File("tinyproxy.pid") << "\"\n";
  config.close();
  process_ = std::make_unique<HelperProgram>(
      std::vector<std::string>{"tinyproxy", "-d", "-c", folder_.File("tinyproxy.conf")}, folder_.File("tinyproxy.out"));
  if (!HelperProgram::WaitForListener(port_, Http2Front::kStartTimeoutMs))
    throw std::runtime_error("tinyproxy does not listen: " + ReadFile(folder_.File("tinyproxy.out")));
}

std::vector<std::string> ConnectProxy::Connects() const {
  std::vector<std::string> connects;
  std::istringstream lines(ReadFile(folder_.File("tinyproxy.log")));
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("Request (file descriptor");
    if (at == std::string::npos) continue;
    const size_t request = line.find("): ", at);
    if (request == std::string::npos) continue;
    std::string text = line.substr(request + 3);
    if (text.rfind("CONNECT ", 0) == 0) connects.push_back(text.substr(0, text.find(' ', 8)));
  }
  return connects;
}
