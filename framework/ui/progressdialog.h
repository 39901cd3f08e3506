#pragma once
// The progress dialog of long work on the user-interface thread: once the work has run for
// showAfterMs it shows a modal dialog with a bar and a Cancel button, and every report lets the
// program's windows repaint while the work goes on.

class CProgress;

// Installs the maker of such dialogs for the work that reports through CProgress.
void InstallProgressDialogs(int showAfterMs = 1000);

// Object name of the dialog; its Cancel button is named by the id IDCANCEL, like the standard
// buttons of every other dialog.
inline constexpr const char* kProgressDialogName = "progressDialog";
