// The window handle of this module's application object: the host's main window, which
// owns every window of the plug-in. 0 while no host window is attached.
#pragma once

#include "PluginAPI/PluginAPI.h"

namespace application_detail {
inline THandle g_applicationHandle = 0;
}

inline THandle ApplicationHandle() { return application_detail::g_applicationHandle; }
inline void SetApplicationHandle(THandle handle) { application_detail::g_applicationHandle = handle; }
