// Creating objects by class identifier. The only registered class is the imaging factory, served
// in process. Initialisation keeps no state: objects can be made on any thread at any time.
#pragma once

#include "platform/imaging/ComTypes.h"

// S_OK; the threading model is accepted and has no effect. `reserved` must be null.
HRESULT CoInitializeEx(void* reserved, DWORD model);
void CoUninitialize();

// Makes a new object of class `clsid` and returns its interface `iid` in `*object` (null on any
// failure). E_POINTER for a null `object`; CLASS_E_NOAGGREGATION for a non-null `outer`;
// REGDB_E_CLASSNOTREG for an unknown class or a context without CLSCTX_INPROC_SERVER;
// E_NOINTERFACE when the class has no interface `iid`; E_OUTOFMEMORY.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
