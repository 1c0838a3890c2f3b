#include "serial/StopSignal.h"

#include <windows.h>

namespace serial {

StopSignal::StopSignal() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StopSignal::~StopSignal()
{
    if (handle_)
        CloseHandle(handle_);
}

void StopSignal::signal()
{
    signalled_.store(true);
    SetEvent(handle_);
}

}  // namespace serial
