// Waits, with a Retry/Cancel prompt, until the product's host application is closed.
#pragma once

#include <string>

// "<host> is running.\n\nPlease close <host> to progress." (line feeds only).
std::string BuildHostPromptText(const std::string& hostName);

// True once no process with the host's name runs (at once, without a prompt,
// if none runs to begin with); false when the user cancels or no prompt can
// be shown. The caption is the selected product's display name.
bool WaitForHostToClose(const std::string& hostName);
