#pragma once

#include <string>

// Why the print system's queue of this name would not take a job now: it does not accept jobs,
// or it is stopped. An empty string when it would, or when the print system does not know it.
std::string printerQueueRefusal(const std::string& printerName);
