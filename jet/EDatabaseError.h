// The error raised by the package database layer: a connection that cannot open, a query
// text it does not understand, a table, column or field that does not exist.
#pragma once

#include "platform/SysUtils.h"

Z_DECLARE_EXCEPTION(EDatabaseError, Exception)
