#pragma once
// The user's mail program, reached through the desktop's xdg-email (xdg-utils): a new message
// with files attached, composed and sent by the user there.

#include "framework/types.h"

#include <functional>

namespace MailProgram {
// The program that hands messages to the mail program, as found on PATH; empty when there is
// none, and mail cannot be sent.
CString Locate();
// Called from the event loop when the program ends with a failure: its exit status (-1 when it
// crashed) and what it wrote on its error output.
using FailureHandler = std::function<void(int status, const CString& output)>;
// Opens a new message with the file attached and returns at once; the file must outlive the
// message. FALSE, with the system's reason in *error, when the program could not be started.
// The program is watched while it runs: a failure that it reports later goes to failed.
BOOL ComposeWithAttachment(const CString& file, CString* error, FailureHandler failed = {});
}
