// COM types of this platform: the Windows SDK's own HRESULT, GUID and IUnknown, so that
// the module's interfaces are the ones the host and the system run-time use. Included
// through platform/ComBase.h only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <unknwn.h>

// The SDK maps these names to their wide or narrow functions; the platform layer has
// functions of the same names in its own namespace and calls the wide ones explicitly.
#undef DeleteFile
#undef GetModuleFileName

// The SDK spells these as macros naming the type IID, which the project's interfaces
// shadow with their static IID member; plain aliases work inside such classes too.
#undef REFIID
#undef REFGUID
#undef REFCLSID
using REFIID = const ::GUID&;
using REFGUID = const ::GUID&;
using REFCLSID = const ::GUID&;

// What AddRef and Release return.
using ComULong = ULONG;
