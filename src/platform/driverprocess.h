// Process-level settings of the driver: priority, processor, own path.
#pragma once

#include <string>

// Raises the scheduling priority (nice −10), best effort: without the privilege nothing changes.
// ZT7_NO_PRIORITY=1 leaves the priority alone (test runs on shared machines).
void RaiseProcessPriority();
// Keeps the process on the first processor, best effort.
void PinToFirstProcessor();
// Absolute path of the running executable ("" when unknown).
std::string ExecutablePath();
