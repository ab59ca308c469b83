// The module's two exports on Windows: plain stdcall functions, which the module's
// definition file exports under the names the host looks for.
#include "Plugins/UpdZorvik/UpdZorvik.h"

extern "C" {
HRESULT ZSTDCALL UpdZorvikEntry(ICore* core, IPlugin** plugin) { return CreatePlugin(core, plugin); }
HRESULT ZSTDCALL UpdZorvikDone() { return S_OK; }
}
