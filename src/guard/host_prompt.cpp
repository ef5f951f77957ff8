#include "guard/host_prompt.h"

#include "guard/process_detection.h"
#include "launcher/product_catalogue.h"
#include "platform/win32.h"

namespace {
constexpr UINT kHostPromptStyle = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
}  // namespace

std::string BuildHostPromptText(const std::string& hostName) {
  return hostName + " is running.\n\nPlease close " + hostName + " to progress.";
}

bool WaitForHostToClose(const std::string& hostName) {
  while (IsProcessRunning(hostName)) {
    const std::string text = BuildHostPromptText(hostName);
    const int answer = MessageBoxA(/*owner*/ nullptr, text.c_str(),
                                   SelectedProduct.displayName.c_str(), kHostPromptStyle);
    // Anything but Retry ends the wait: Cancel (also Escape and the close
    // button), and 0 when the box cannot be shown at all. Going on would
    // remove the product under a running host; asking again would never end.
    if (answer != IDRETRY) return false;
  }
  return true;
}
