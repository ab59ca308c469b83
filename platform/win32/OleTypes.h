// The system's OLE automation run-time, oleaut32. Included through platform/OleAuto.h
// only.
#pragma once

#include <oleauto.h>

#include "platform/ComBase.h"

// The run-time's 32-bit unsigned count.
using OleDWord = DWORD;
