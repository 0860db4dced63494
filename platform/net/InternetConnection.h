// A connection handle's object: the server and credentials of the requests opened on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/net/InternetObject.h"
#include "platform/net/InternetSession.h"

struct ConnectionSettings {
  std::shared_ptr<const SessionSettings> session;
  std::u16string host;
  uint16_t port = 0;
  bool sendCredentials = false;
  std::string userName;  // UTF-8
  std::string password;  // UTF-8
};

class InternetConnection : public InternetObject {
 public:
  static constexpr Kind kKind = Kind::kConnection;

  explicit InternetConnection(ConnectionSettings settings)
      : InternetObject(kKind), settings_(std::make_shared<const ConnectionSettings>(std::move(settings))) {}

  // Shared with requests, which keep them after this handle is closed.
  const std::shared_ptr<const ConnectionSettings>& Settings() const { return settings_; }

 private:
  std::shared_ptr<const ConnectionSettings> settings_;
};
