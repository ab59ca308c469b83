// The signature test a local package passes before the ZIP reader sees it, on arbitrary
// file bytes; the whole-buffer and the stream forms must agree.
#include <cstddef>
#include <cstdint>

#include "Plugins/UpdZorvik/uUpdZorvikSignature.h"
#include "platform/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream file;
  if (size) file.WriteBuffer(data, size);
  file.SetPosition(0);
  const bool local = LocalPackagePassesSignatureTest(file);
  const bool whole = PassesZipSignatureTest(data, size);
  // The local test reads only a prefix, which holds everything the decision needs.
  if (local != whole) __builtin_trap();
  return 0;
}
