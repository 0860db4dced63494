// A root handle's object: the client settings every connection made from it uses.
#pragma once

#include <memory>
#include <string>

#include "platform/net/InternetObject.h"

struct SessionSettings {
  std::string userAgent;  // UTF-8; empty: none sent
  bool direct = false;    // true: never a proxy; false: the device's proxy settings
};

class InternetSession : public InternetObject {
 public:
  static constexpr Kind kKind = Kind::kSession;

  explicit InternetSession(SessionSettings settings)
      : InternetObject(kKind), settings_(std::make_shared<const SessionSettings>(std::move(settings))) {}

  // Shared with connections, which keep them after this handle is closed.
  const std::shared_ptr<const SessionSettings>& Settings() const { return settings_; }

 private:
  std::shared_ptr<const SessionSettings> settings_;
};
