#pragma once
// The configuration dialog's "Import feeds..." and "Export feeds...": the standard open and save
// dialogs in the folder last used (kept in app.config), the work on the lists the dialog shows,
// and one message box saying how it went.
#include "app/fMain.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tw {

// Asks for an OPML file and appends its new feeds to `customs` by the import rules; the message
// box gives the counts. Nothing changes when the user cancels or the file is not read.
void ImportFeedsWithDialog(HWND owner, const std::string& configFile, const std::vector<TConfigLink>& defaults,
                           std::vector<TConfigLink>& customs);

// Asks where to save and writes both lists there as OPML (titles from `notes`).
void ExportFeedsWithDialog(HWND owner, const std::string& configFile, const std::vector<TConfigLink>& defaults,
                           const std::vector<TConfigLink>& customs, const TFeedNotes& notes);

}  // namespace tw
