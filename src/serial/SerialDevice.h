#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace serial {

// Driver error counters; each only grows, so a change tells which line error happened.
struct ErrorCounters {
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    bool operator==(const ErrorCounters&) const = default;
};

// Modem status bits, as the component reports them.
enum ModemBit : std::uint32_t {
    modemCts = 16,
    modemDsr = 32,
    modemRing = 64,
    modemCarrier = 128,
};

// Result of one read or write: count >= 0, or count < 0 with the errno value.
struct IoResult {
    long count = 0;
    int error = 0;
};

// What an open did: `error` is 0 when the device is open, else the system's error number of the
// step that failed (errno; on Windows GetLastError's code), with the device it tried (links followed where they resolve), so that a
// failure can be explained without looking for the device again.
struct OpenResult {
    int error = 0;
    std::filesystem::path device;
    explicit operator bool() const { return error == 0; }
};

// The serial device: on Linux a raw 8-bit termios line opened exclusively, on Windows a COM
// port opened unshared for overlapped I/O. Everything the worker threads need goes through
// here, so a test can replace the status queries.
class SerialDevice {
public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    virtual ~SerialDevice();

    // Opens a character device for reading and writing, refusing one that another
    // program holds. The line is left raw; the settings below refine it.
    OpenResult open(const std::filesystem::path& path);
    void close();
#ifdef _WIN32
    bool isOpen() const { return handle_ != nullptr; }
    // The port's HANDLE; the worker threads start their overlapped reads, writes and status
    // waits on it.
    void* handle() const { return handle_; }
#else
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    IoResult read(std::uint8_t* buffer, std::size_t size);
    IoResult write(const std::uint8_t* buffer, std::size_t size);
#endif

    bool setBaudRate(std::uint32_t bitsPerSecond);
    bool setParity(int code);      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    bool setDataBits(int bits);    // 5 to 8
    bool setStopBits(int code);    // 0 one, 1 one and a half, 2 two
    bool setRtsControl(int mode);  // 0 off, 1 on, 2 handshake, 3 toggle
    bool setDtrControl(int mode);  // 0 off, 1 on, 2 handshake
    bool setReceiveXonXoff(bool on);
    // The longest silence between two bytes of one read. Linux keeps it in the reader's own
    // waits, so there it only succeeds; Windows hands it to the driver's time-outs.
    bool setReadInterval(std::uint32_t milliseconds);
    // Received 0 bytes discarded by the driver (Windows); on Linux the reader drops them.
    bool setNullStrip(bool on);
    bool setRts(bool on);
    bool setDtr(bool on);
    void purgeInput();
    void purgeOutput();

#ifdef _WIN32
    // The driver's line-error flags (LineErrorFlag), read and cleared; nothing when that fails.
    virtual std::optional<std::uint32_t> takeErrorFlags();
    virtual std::optional<std::uint32_t> modemStatus();
#else
    // What the driver keeps about the line, or nothing where it keeps none
    // (pseudo-terminals). Called from the reader thread.
    virtual std::optional<ErrorCounters> errorCounters();
    virtual std::optional<std::uint32_t> modemStatus();
    virtual std::optional<std::size_t> outputPending();
#endif

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    bool setModemLine(int line, bool on);

    int fd_ = -1;
#endif
};

}  // namespace serial
