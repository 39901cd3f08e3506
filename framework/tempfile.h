#pragma once
// Temporary files for data passed through files (pictures while a document is stored and
// loaded).

#include "framework/types.h"

// A fresh temporary file "~qb…" in the user's temporary folder, created exclusively so that no
// other process can take or plant the name; the caller owns the file and deletes it. Empty when
// no file could be made.
CString GetTempFilePath();
