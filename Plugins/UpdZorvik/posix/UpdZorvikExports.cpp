// The module's two exports on POSIX. Their names start with a digit, so they are given
// to the assembler in quotes; a version script keeps everything else hidden.
#include "Plugins/UpdZorvik/UpdZorvik.h"
#include "platform/DynLib.h"

namespace {
// The window toolkit the dialog's view uses keeps process-wide state that does not
// survive being unloaded, so once this module has pulled it in it stays.
const bool g_viewToolkitPinned = PinLoadedLibrary("libQt6Core.so.6");

// Kept out of line: a quoted name cannot take the ".cold" part an optimising compiler
// splits off a function with an exception handler.
__attribute__((noinline)) HRESULT Entry(ICore* core, IPlugin** plugin) { return CreatePlugin(core, plugin); }
}  // namespace

extern "C" {
ZORVIK_EXPORT HRESULT ZSTDCALL UpdZorvikEntry(ICore* core, IPlugin** plugin) __asm__(
    "\"983BEDA12B2347028D99FF042C551640\"");
ZORVIK_EXPORT HRESULT ZSTDCALL UpdZorvikDone() __asm__("\"983BEDA12B2347028D99FF042C551640_done\"");
}

HRESULT UpdZorvikEntry(ICore* core, IPlugin** plugin) { return Entry(core, plugin); }

HRESULT UpdZorvikDone() { return S_OK; }
