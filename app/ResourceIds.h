// Identifiers of Ambrel's resources and commands, shared by the resource tables and the code.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

constexpr WORD kLanguageKorean = 1042;

// Strings.
constexpr UINT kStringTitle = 1;      // the window title
constexpr UINT kStringClassName = 2;  // the main window's class name
constexpr UINT kStringSoftKeyOk = 103;
constexpr UINT kStringSoftKeyHelp = 104;

// Icon group and the ids of its eight images (RT_ICON).
constexpr WORD kIconGroupProgram = 101;
constexpr WORD kIconImageFirst = 1;  // images 1..8, in the order the group lists them

constexpr WORD kMenuHelp = 102;    // RT_MENU
constexpr WORD kMenuBar = 102;     // RT_RCDATA: the soft-key menu bar's definition
constexpr WORD kAccelerators = 2;  // RT_ACCELERATOR
constexpr WORD kDialogAbout = 105;
constexpr WORD kDialogAboutWide = 106;  // wide-screen layout; never loaded by the program

// About dialog controls.
constexpr WORD kAboutIcon = 201;
constexpr WORD kAboutVersion = 202;
constexpr WORD kAboutNotice = 203;

// Commands.
constexpr WORD kCommandZoomIn = 4660;
constexpr WORD kCommandZoomOut = 4661;
constexpr WORD kCommandHome = 4662;
constexpr WORD kCommandOk = 40000;     // left soft key, Ctrl+Q
constexpr WORD kCommandHelp = 40001;   // right soft key: opens the Help popup
constexpr WORD kCommandAbout = 40002;  // Help > About..., Ctrl+A

}  // namespace ambrel
