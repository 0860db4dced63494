#include "platform/imaging/ComRuntime.h"

#include <new>

#include "platform/imaging/Imaging.h"
#include "platform/imaging/ImagingFactory.h"

HRESULT CoInitializeEx(void* reserved, DWORD /*model*/) { return reserved == nullptr ? S_OK : E_INVALIDARG; }

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (clsid != CLSID_ImagingFactory || (context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  auto* factory = new (std::nothrow) imaging::ImagingFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();  // the interface returned holds the only reference left
  return hr;
}
