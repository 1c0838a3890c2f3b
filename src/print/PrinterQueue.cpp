#include "print/PrinterQueue.h"

#include <cups/cups.h>

namespace {

std::string option(const cups_dest_t* dest, const char* name)
{
    const char* value = cupsGetOption(name, dest->num_options, dest->options);
    return value ? value : "";
}

} // namespace

std::string printerQueueRefusal(const std::string& printerName)
{
    // The name may carry an instance after a slash; the queue is the part before it.
    const std::string queue = printerName.substr(0, printerName.find('/'));
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (!dest)
        return {};
    std::string reason;
    if (option(dest, "printer-is-accepting-jobs") == "false")
        reason = "does not accept jobs";
    else if (option(dest, "printer-state") == "5")
        reason = "is stopped";
    cupsFreeDests(1, dest);
    return reason;
}
