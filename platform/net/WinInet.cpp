// The client's entry points: argument checks, handle look-up and last-error reporting around the
// session, connection and request objects.
#include "platform/net/WinInet.h"

#include <memory>
#include <string>

#include "platform/kernel/WideText.h"
#include "platform/net/ConnectionPool.h"
#include "platform/net/CurlGlobal.h"
#include "platform/net/DeviceTimeouts.h"
#include "platform/net/HttpRequest.h"
#include "platform/net/InternetConnection.h"
#include "platform/net/InternetHandleTable.h"
#include "platform/net/InternetSession.h"
#include "platform/net/RequestUrl.h"

namespace {

constexpr char16_t kGetVerb[] = u"GET";

std::string Utf8OrEmpty(LPCWSTR text) { return text != nullptr ? Utf16ToUtf8(text) : std::string(); }

bool Succeed() {
  SetLastError(ERROR_SUCCESS);
  return true;
}

BOOL Result(DWORD error) {
  SetLastError(error);
  return error == ERROR_SUCCESS ? TRUE : FALSE;
}

HINTERNET FailHandle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// Gives the new object its handle; null with ERROR_NOT_ENOUGH_MEMORY when the table is full.
HINTERNET OpenHandle(std::shared_ptr<InternetObject> object) {
  const uintptr_t handle = InternetHandleTable::Get().Insert(std::move(object));
  if (handle == 0) return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
  Succeed();
  return reinterpret_cast<HINTERNET>(handle);
}

}  // namespace

void InternetSetDeviceTimeouts(DWORD connectMs, DWORD receiveMs) { DeviceTimeouts::Set(connectMs, receiveMs); }

void InternetSetDeviceMinimumSpeed(DWORD bytesPerSecond, DWORD windowMs) {
  DeviceTimeouts::SetMinimumSpeed(bytesPerSecond, windowMs);
}

size_t InternetLiveObjectCount() { return InternetObject::LiveCount(); }

size_t InternetIdleConnectionCount() { return ConnectionPool::Shared().IdleCount(ConnectionPool::Clock::now()); }

void InternetCloseIdleConnections() { ConnectionPool::Shared().Clear(); }

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR /*proxy*/, LPCWSTR /*proxyBypass*/, DWORD flags) {
  if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT) {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  if (flags != 0) return FailHandle(ERROR_INVALID_PARAMETER);  // no asynchronous or offline mode
  if (!CurlGlobal::Ready()) return FailHandle(ERROR_INTERNET_INTERNAL_ERROR);
  SessionSettings settings;
  settings.userAgent = Utf8OrEmpty(agent);
  settings.direct = accessType == INTERNET_OPEN_TYPE_DIRECT;
  return OpenHandle(std::make_shared<InternetSession>(std::move(settings)));
}

HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD /*flags*/, DWORD_PTR /*context*/) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<InternetSession> session = InternetHandleTable::FindAs<InternetSession>(internet, &error);
  if (!session) return FailHandle(error);
  if (service != INTERNET_SERVICE_HTTP) return FailHandle(ERROR_INVALID_PARAMETER);
  if (serverName == nullptr || !RequestUrl::IsValidHost(serverName)) return FailHandle(ERROR_INTERNET_INVALID_URL);
  ConnectionSettings settings;
  settings.session = session->Settings();
  settings.host = serverName;
  settings.port = port != 0 ? port : INTERNET_DEFAULT_HTTP_PORT;
  settings.userName = Utf8OrEmpty(userName);
  settings.password = Utf8OrEmpty(password);
  settings.sendCredentials = !settings.userName.empty();
  return OpenHandle(std::make_shared<InternetConnection>(std::move(settings)));
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR /*version*/,
                           LPCWSTR /*referrer*/, LPCWSTR* /*acceptTypes*/, DWORD /*flags*/, DWORD_PTR /*context*/) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<InternetConnection> owner = InternetHandleTable::FindAs<InternetConnection>(connection, &error);
  if (!owner) return FailHandle(error);
  if (verb != nullptr && std::u16string_view(verb) != kGetVerb) return FailHandle(ERROR_INVALID_PARAMETER);
  const ConnectionSettings& settings = *owner->Settings();
  RequestUrl url = RequestUrl::Make(settings.host, settings.port, objectName);
  return OpenHandle(std::make_shared<HttpRequest>(owner->Settings(), std::move(url)));
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD /*headersLength*/, LPVOID optional,
                      DWORD optionalLength) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<HttpRequest> object = InternetHandleTable::FindAs<HttpRequest>(request, &error);
  if (!object) return Result(error);
  if ((headers != nullptr && headers[0] != u'\0') || (optional != nullptr && optionalLength != 0)) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  return Result(object->Send());
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<HttpRequest> object = InternetHandleTable::FindAs<HttpRequest>(request, &error);
  if (!object) return Result(error);
  return Result(object->QueryInfo(infoLevel, buffer, bufferLength, index));
}

BOOL InternetQueryDataAvailable(HINTERNET file, DWORD* bytesAvailable, DWORD /*flags*/, DWORD_PTR /*context*/) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<HttpRequest> object = InternetHandleTable::FindAs<HttpRequest>(file, &error);
  if (!object) return Result(error);
  DWORD count = 0;
  error = object->Available(&count);
  if (bytesAvailable != nullptr) *bytesAvailable = count;
  return Result(error);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead) {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<HttpRequest> object = InternetHandleTable::FindAs<HttpRequest>(file, &error);
  if (!object) return Result(error);
  if (bytesRead == nullptr || (buffer == nullptr && bytesToRead != 0)) return Result(ERROR_INVALID_PARAMETER);
  *bytesRead = 0;
  return Result(object->Read(buffer, bytesToRead, bytesRead));
}

BOOL InternetCloseHandle(HINTERNET handle) {
  std::shared_ptr<InternetObject> object = InternetHandleTable::Get().Remove(reinterpret_cast<uintptr_t>(handle));
  if (!object) return Result(ERROR_INVALID_HANDLE);
  object->OnClose();
  return Result(ERROR_SUCCESS);
}
