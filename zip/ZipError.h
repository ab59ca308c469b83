// The error raised for archives and members that cannot be read.
#pragma once

#include "platform/SysUtils.h"

// A damaged or unsupported archive, or a member that cannot be extracted. Messages about
// a member name it.
Z_DECLARE_EXCEPTION(EZipError, Exception)
