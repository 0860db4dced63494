// Resource and command identifiers of uidemo.
#pragma once

namespace uidemo {

constexpr int kTitleString = 1;
constexpr int kClassString = 2;
constexpr int kAccelerators = 2;
constexpr int kMenu = 102;  // the menu and the soft-key bar's definition
constexpr int kOkString = 103;
constexpr int kHelpString = 104;
constexpr int kAboutDialog = 105;

constexpr int kPressCommand = 4660;   // the "Press" button
constexpr int kOkCommand = 40000;     // left soft key; Ctrl+Q
constexpr int kHelpCommand = 40001;   // right soft key (opens its popup)
constexpr int kAboutCommand = 40002;  // Help > About...; Ctrl+A

constexpr int kVersionText = 202;  // controls of the About dialog
constexpr int kNoticeText = 203;

}  // namespace uidemo
