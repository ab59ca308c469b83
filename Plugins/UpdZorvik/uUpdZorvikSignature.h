// The test that a package's bytes look like a ZIP archive before anything parses them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Classes.h"

// Whether a file's bytes look like a ZIP archive once decoded as text by their
// byte-order mark. Without a mark the first four bytes decide, with a UTF-16 mark the
// first ten; after a UTF-8 mark every byte must be valid UTF-8.
bool PassesZipSignatureTest(const std::uint8_t* bytes, std::size_t size);

// The same test on a local package read from probe's start: only the first bytes are
// read, or the whole stream after a UTF-8 mark. Errors of the stream pass through.
bool LocalPackagePassesSignatureTest(TStream& probe);
