// The resource calls: registering tables, finding, loading and sizing.
#include "platform/ui/Resources.h"
#include "platform/ui/shell/ResourceRegistry.h"

using ui::shell::ResourceRegistry;

namespace {

const ResourceEntry* EntryOf(HMODULE module, HRSRC resource) {
  const auto* entry = reinterpret_cast<const ResourceEntry*>(resource);
  if (entry == nullptr || !ResourceRegistry::Instance().Owns(module, entry)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return entry;
}

}  // namespace

void RegisterResourceTable(HMODULE module, const ResourceEntry* entries, size_t count) {
  ResourceRegistry::Instance().Add(module, entries, count);
}

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  DWORD error = ERROR_SUCCESS;
  const ResourceEntry* entry = ResourceRegistry::Instance().Find(module, type, name, language, &error);
  if (entry == nullptr) SetLastError(error);
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  return FindResourceExW(module, type, name, LANG_NEUTRAL);
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  const ResourceEntry* entry = EntryOf(module, resource);
  return entry ? const_cast<void*>(entry->data) : nullptr;
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  const ResourceEntry* entry = EntryOf(module, resource);
  return entry ? entry->size : 0;
}
