#include "app/NoTilesNotice.h"

#include <atomic>

#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"

namespace ambrel {
namespace {

std::atomic<HWND> watchedWindow{nullptr};
std::atomic<bool> tileDrawn{false};
std::atomic<bool> noticeShown{false};
RECT noticeArea{};           // GUI thread only
HWND noticeLabel = nullptr;  // GUI thread only

DWORD WaitThenCheck(LPVOID window) {
  Sleep(kNoTilesWaitMs);
  // A window that went meanwhile refuses the message; nothing else is touched here.
  PostMessageW(static_cast<HWND>(window), kMessageCheckTiles, 0, 0);
  return 0;
}

}  // namespace

void WatchForTiles(HWND mainWindow, const RECT& mapArea) {
  noticeArea = mapArea;
  watchedWindow.store(mainWindow);
  if (HANDLE thread = CreateThread(nullptr, 0, WaitThenCheck, mainWindow, 0, nullptr)) CloseHandle(thread);
}

void NoteTileDrawn() {
  tileDrawn.store(true);
  if (noticeShown.load()) {
    if (HWND window = watchedWindow.load()) PostMessageW(window, kMessageTileCame, 0, 0);
  }
}

void OnNoticeMessage(HWND mainWindow, UINT message) {
  if (message == kMessageCheckTiles && !tileDrawn.load() && noticeLabel == nullptr) {
    const LONG middle = (noticeArea.top + noticeArea.bottom) / 2;
    noticeLabel = CreateWindowExW(0, u"static", kNoTilesText, WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER,
                                  noticeArea.left + 8, middle - 24, noticeArea.right - noticeArea.left - 16, 48,
                                  mainWindow, nullptr, nullptr, nullptr);
    noticeShown.store(noticeLabel != nullptr);
    // A tile that came between the check and now hides it again at once.
    if (noticeLabel != nullptr && tileDrawn.load()) PostMessageW(mainWindow, kMessageTileCame, 0, 0);
  } else if (message == kMessageTileCame && noticeLabel != nullptr) {
    DestroyWindow(noticeLabel);
    noticeLabel = nullptr;
    noticeShown.store(false);
  }
}

}  // namespace ambrel
