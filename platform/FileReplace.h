// Replacing a file safely: the new content goes to a temporary file in the same
// folder, which then replaces the old file in one step.
#pragma once

#include <string_view>

#include "platform/UStrings.h"



// Replaces the content of the file at path with data. The new file keeps the old one's
// permissions and owner; a symbolic link is followed, so the link itself stays. Raises
// EFCreateError "Cannot create file "%s". %s" with path and the system's text when any
// step fails (a read-only folder, a full disk); the old file is then intact and no
// temporary file is left behind.
void ReplaceFileContents(UStringView path, std::string_view data);


