#pragma once
// Command ids the shell handles or wires. They are the numbers of the resource module's menus
// and toolbars.

#include "framework/types.h"

namespace ShellCmd {
constexpr UINT kFileNew = 57600;
constexpr UINT kFileOpen = 57601;
constexpr UINT kFileClose = 57602;
constexpr UINT kFileSave = 57603;
constexpr UINT kFileSaveAs = 57604;
constexpr UINT kFilePrintSetup = 57606;
constexpr UINT kFilePrint = 57607;
constexpr UINT kFilePrintDirect = 57608;
constexpr UINT kFilePrintPreview = 57609;
constexpr UINT kFileSendMail = 57612;
constexpr UINT kFileMru1 = 57616;
constexpr UINT kFileMruLast = 57619;  // four recent files
constexpr UINT kAppAbout = 57664;
constexpr UINT kAppExit = 57665;
constexpr UINT kWindowNew = 57648;
constexpr UINT kViewToolbar = 59392;
constexpr UINT kViewStatusBar = 59393;
constexpr UINT kPageColor = 32781;
constexpr UINT kFileSummaryInfo = 32792;  // Document Properties
constexpr UINT kZoom100 = 32818;
constexpr UINT kZoomIn = 32819;
constexpr UINT kZoomOut = 32820;
constexpr UINT kZoomBox = 32835;
constexpr UINT kLabelSetup = 32873;
constexpr UINT kVisitWebSite = 32888;
constexpr UINT kFitLabel = 32902;
constexpr UINT kViewComponentsBar = 32906;  // also the window id of the second toolbar
constexpr UINT kViewBarcodesBar = 32908;
constexpr UINT kViewDatabaseBar = 32916;
constexpr UINT kViewObjectsBar = 32919;

// Resources of the frames.
constexpr UINT kMainMenu = 2;       // no document open
constexpr UINT kDocumentMenu = 3;   // a label is open
constexpr UINT kMainToolbar = 2;
constexpr UINT kSecondToolbar = 110;

// Strings.
constexpr UINT kStrObjectsBar = 34;
constexpr UINT kStrComponentsBar = 46;
constexpr UINT kStrBarcodesBar = 47;
constexpr UINT kStrViewTab = 70;
constexpr UINT kStrDatabaseBar = 75;
constexpr UINT kStrOleFailed = 101;
constexpr UINT kStrTitleSuffix = 121;
constexpr UINT kStrIdlePrompt = 57345;  // the status bar between prompts
}
