// The launcher's one pass from its arguments to its exit status.
#pragma once

// Exit statuses: the user gave up at the host prompt, or anything else.
constexpr int kExitCancelled = 1;
constexpr int kExitDone = 0;

// argv[1] is the product code; further arguments are ignored.
int RunLaunchSequence(int argc, char** argv);
