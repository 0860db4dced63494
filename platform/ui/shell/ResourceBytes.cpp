#include "platform/ui/shell/ResourceBytes.h"

namespace ui::shell {

ResourceBytes FindResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC resource = FindResourceW(module, name, type);
  if (resource == nullptr) return {};
  const void* data = LockResource(LoadResource(module, resource));
  if (data == nullptr) return {};
  return ResourceBytes{static_cast<const uint8_t*>(data), SizeofResource(module, resource)};
}

}  // namespace ui::shell
