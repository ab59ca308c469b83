#include "host/HostTestUtil.h"

// The system's oleaut32 keeps no count of its strings.
std::optional<long> LiveStringCount() { return std::nullopt; }
