#include "launcher/launch_sequence.h"

#include <string>

#include "guard/host_prompt.h"
#include "installer/product_probe.h"
#include "installer/uninstall.h"
#include "launcher/product_catalogue.h"
#include "platform/dll_search.h"
#include "setup/setup_launch.h"

int RunLaunchSequence(int argc, char** argv) {
  // Before anything could load a DLL: the shell and the message box load
  // more as they go, and the launcher runs from folders anyone can write to.
  RestrictDllSearchToSystemDirectory();

  if (argc <= 1 || argv == nullptr || argv[1] == nullptr) return kExitDone;

  const std::string code = argv[1];
  LookUpProduct(code);

  if (!IsProductInstalled(code)) {
    LaunchSetup();
    return kExitDone;
  }

  if (!WaitForHostToClose(SelectedProduct.hostProcessName)) return kExitCancelled;
  UninstallProduct(code);
  // The removal's own exit code is not trusted; the installer's answer is.
  if (!IsProductInstalled(code)) LaunchSetup();
  return kExitDone;
}
