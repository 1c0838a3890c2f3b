#include "print/PrinterQueue.h"

#include <windows.h>
#include <winspool.h>

#include <QString>

#include <vector>

std::string printerQueueRefusal(const std::string& printerName)
{
    const std::wstring name = QString::fromStdString(printerName).toStdWString();
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, nullptr))
        return {};
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::string reason;
    std::vector<BYTE> info(needed);
    if (needed && GetPrinterW(printer, 2, info.data(), needed, &needed)) {
        const auto* details = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
        if (details->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE)
            reason = "does not accept jobs";
        else if (details->Status & (PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR | PRINTER_STATUS_OFFLINE))
            reason = "is stopped";
    }
    ClosePrinter(printer);
    return reason;
}
