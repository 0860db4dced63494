// Baseline of the start-up benchmark: a program that starts the device screen and ends at once.
#include "platform/ui/DeviceScreen.h"

int main(int argc, char** argv) {
  return RunProgram(argc, argv, [](HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; });
}
