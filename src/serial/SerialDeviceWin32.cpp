#include "serial/SerialDevice.h"

#include <windows.h>

namespace serial {

namespace {

// Reads the whole settings record, changes the named fields and writes it back, so every
// field not named stays as the driver had it.
template <typename Change>
bool changeState(HANDLE handle, Change change)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!handle || !GetCommState(handle, &dcb))
        return false;
    if (!change(dcb))
        return false;
    return SetCommState(handle, &dcb) != 0;
}

}  // namespace

SerialDevice::~SerialDevice()
{
    close();
}

OpenResult SerialDevice::open(const std::filesystem::path& path)
{
    close();
    // Not shared: a port that another program holds does not open.
    const HANDLE handle = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {static_cast<int>(GetLastError()), path};
    if (GetFileType(handle) != FILE_TYPE_CHAR) {
        CloseHandle(handle);
        return {ERROR_BAD_DEVICE, path};
    }
    handle_ = handle;
    return {0, path};
}

void SerialDevice::close()
{
    if (!handle_)
        return;
    CloseHandle(handle_);
    handle_ = nullptr;
}

bool SerialDevice::setBaudRate(std::uint32_t bitsPerSecond)
{
    return changeState(handle_, [&](DCB& dcb) {
        dcb.BaudRate = bitsPerSecond;
        return true;
    });
}

bool SerialDevice::setParity(int code)
{
    if (code < 0 || code > 4)
        return false;
    return changeState(handle_, [&](DCB& dcb) {
        dcb.Parity = static_cast<BYTE>(code);
        dcb.fParity = code != NOPARITY;
        return true;
    });
}

bool SerialDevice::setDataBits(int bits)
{
    if (bits < 4 || bits > 8)
        return false;
    return changeState(handle_, [&](DCB& dcb) {
        dcb.ByteSize = static_cast<BYTE>(bits);
        return true;
    });
}

bool SerialDevice::setStopBits(int code)
{
    if (code < 0 || code > 2)
        return false;
    return changeState(handle_, [&](DCB& dcb) {
        dcb.StopBits = static_cast<BYTE>(code);
        return true;
    });
}

bool SerialDevice::setRtsControl(int mode)
{
    if (mode < 0 || mode > 3)
        return false;
    return changeState(handle_, [&](DCB& dcb) {
        dcb.fRtsControl = static_cast<DWORD>(mode);
        return true;
    });
}

bool SerialDevice::setDtrControl(int mode)
{
    if (mode < 0 || mode > 2)
        return false;
    return changeState(handle_, [&](DCB& dcb) {
        dcb.fDtrControl = static_cast<DWORD>(mode);
        return true;
    });
}

bool SerialDevice::setReceiveXonXoff(bool on)
{
    return changeState(handle_, [&](DCB& dcb) {
        dcb.XonLim = 256;
        dcb.XoffLim = 768;
        dcb.XonChar = 17;
        dcb.XoffChar = 19;
        dcb.fInX = on;
        return true;
    });
}

bool SerialDevice::setNullStrip(bool on)
{
    return changeState(handle_, [&](DCB& dcb) {
        dcb.fNull = on;
        return true;
    });
}

// A read then waits for its first byte as long as it takes and ends at the first silence of
// `milliseconds` or a full buffer; a write has no time limit.
bool SerialDevice::setReadInterval(std::uint32_t milliseconds)
{
    COMMTIMEOUTS timeouts{};
    if (!handle_ || !GetCommTimeouts(handle_, &timeouts))
        return false;
    timeouts.ReadIntervalTimeout = milliseconds;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(handle_, &timeouts) != 0;
}

bool SerialDevice::setRts(bool on)
{
    return handle_ && EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
}

bool SerialDevice::setDtr(bool on)
{
    return handle_ && EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
}

void SerialDevice::purgeInput()
{
    if (handle_)
        PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
}

void SerialDevice::purgeOutput()
{
    if (handle_)
        PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
}

std::optional<std::uint32_t> SerialDevice::takeErrorFlags()
{
    DWORD errors = 0;
    if (!handle_ || !ClearCommError(handle_, &errors, nullptr))
        return std::nullopt;
    return static_cast<std::uint32_t>(errors);
}

std::optional<std::uint32_t> SerialDevice::modemStatus()
{
    DWORD status = 0;
    if (!handle_ || !GetCommModemStatus(handle_, &status))
        return std::nullopt;
    return static_cast<std::uint32_t>(status);
}

}  // namespace serial
