#include "host/HostTestUtil.h"

// The stand-in oleaut32 counts its strings.
std::optional<long> LiveStringCount() { return OleLiveStringCount(); }
