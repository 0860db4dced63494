// Starts Ambrel the way the device starts a program: the screen from the device's settings, then
// the entry point on this thread.
#include "app/WinMain.h"
#include "platform/ui/DeviceScreen.h"

int main(int argc, char** argv) { return RunProgram(argc, argv, ambrel::WinMain); }
