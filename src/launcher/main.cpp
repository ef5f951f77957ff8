// The GUI-subsystem entry: no window of its own, just the launch sequence.
#include "platform/win32.h"

#include <stdlib.h>

#include "launcher/launch_sequence.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showCommand*/) {
  return RunLaunchSequence(__argc, __argv);
}
