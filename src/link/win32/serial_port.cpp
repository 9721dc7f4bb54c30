#include "link/win32/serial_port.h"

#include <string>

#include "common/file_names.h"

namespace kavrel::link::win32 {
namespace {

constexpr DWORD kMaxChunk = 0x10000000; // one ReadFile or WriteFile never asks for more
constexpr int kSliceMs = 100;             // with an interrupt, how often a wait looks at it

COMMTIMEOUTS driverTimeouts(const SerialTimeouts& t) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = t.readInterval;
    timeouts.ReadTotalTimeoutMultiplier = t.readMultiplier;
    timeouts.ReadTotalTimeoutConstant = t.readConstant;
    timeouts.WriteTotalTimeoutMultiplier = t.writeMultiplier;
    timeouts.WriteTotalTimeoutConstant = t.writeConstant;
    return timeouts;
}

void setLine(HANDLE handle, int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(handle, &dcb);   // everything not named below stays as the driver has it
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    ::SetCommState(handle, &dcb);   // not checked: the module does not care about details a driver refuses
}

} // namespace

SerialOpenResult SerialPort::open(const SerialRequest& request) {
    const std::wstring device = pathFromUtf8(request.device).wstring();
    const HANDLE handle = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {nullptr, false, serialOpenFailure(static_cast<int>(::GetLastError()))};
    std::unique_ptr<SerialPort> port(new SerialPort(handle, request.timeouts));
    setLine(handle, request.baud);
    COMMTIMEOUTS timeouts = driverTimeouts(request.timeouts);
    const bool timeoutsSet = ::SetCommTimeouts(handle, &timeouts) != 0;
    if (timeoutsSet) port->current_ = timeouts;
    else ::GetCommTimeouts(handle, &port->current_);
    const DWORD queue = static_cast<DWORD>(request.queueBytes);
    ::SetupComm(handle, queue, queue);
    return {std::move(port), !timeoutsSet, {}};
}

SerialPort::~SerialPort() { ::CloseHandle(handle_); }

bool SerialPort::useReadTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
    if (current_.ReadIntervalTimeout == interval && current_.ReadTotalTimeoutMultiplier == multiplier &&
        current_.ReadTotalTimeoutConstant == constant)
        return true;
    COMMTIMEOUTS wanted = current_;
    wanted.ReadIntervalTimeout = interval;
    wanted.ReadTotalTimeoutMultiplier = multiplier;
    wanted.ReadTotalTimeoutConstant = constant;
    if (!::SetCommTimeouts(handle_, &wanted)) {
        noteFailure();
        return false;
    }
    current_ = wanted;
    return true;
}

bool SerialPort::read(std::uint8_t* buffer, std::size_t count, DWORD& got) {
    got = 0;
    const DWORD size = count < kMaxChunk ? static_cast<DWORD>(count) : kMaxChunk;
    if (::ReadFile(handle_, buffer, size, &got, nullptr) != 0) return true;
    noteFailure();
    return false;
}

void SerialPort::noteFailure() {
    switch (::GetLastError()) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_BAD_COMMAND:        // what many USB serial drivers answer once unplugged
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE: gone_ = true; break;
    default: break;
    }
}

ReadOutcome SerialPort::readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) {
    if (maxBytes == 0) return {ReadStatus::NoData, 0};
    DWORD got = 0;
    if (interrupted(interrupt())) return {ReadStatus::Interrupted, 0};
    while (waitMs > 0) {
        // A plain total time-out for the first byte (interval and multiplier off): the one
        // mode every driver and emulation honours the same way. With an interrupt the wait
        // is cut into slices, and the event is looked at between them.
        const int slice = interrupt() && waitMs > kSliceMs ? kSliceMs : waitMs;
        if (!useReadTimeouts(0, 0, static_cast<DWORD>(slice))) return {ReadStatus::Error, 0};
        if (!read(buffer, 1, got)) return {ReadStatus::Error, 0};
        if (got > 0) break;
        waitMs -= slice;
        if (interrupted(interrupt())) return {ReadStatus::Interrupted, 0};
        if (waitMs <= 0) return {ReadStatus::NoData, 0};
    }
    if (got > 0) {
        ++buffer;
        --maxBytes;
    }
    // MAXDWORD, 0, 0: only what is already waiting, at once.
    if (maxBytes > 0) {
        if (!useReadTimeouts(MAXDWORD, 0, 0)) return {ReadStatus::Error, 0};
        DWORD more = 0;
        if (!read(buffer, maxBytes, more)) return got > 0 ? ReadOutcome{ReadStatus::Data, got} : ReadOutcome{ReadStatus::Error, 0};
        got += more;
    }
    return got > 0 ? ReadOutcome{ReadStatus::Data, got} : ReadOutcome{ReadStatus::NoData, 0};
}

std::size_t SerialPort::readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits) {
    if (count == 0) return 0;
    // A read that must end when the window goes away is made of interruptible waits.
    if (interrupt()) return Transport::readTimed(buffer, count, limits);
    // The protocol's own limits are the time-outs set at open; other limits (a shorter
    // settle time) are handed to the driver the same way, as interval and total.
    const std::uint64_t ownTotal = std::uint64_t{timeouts_.readMultiplier} * count + timeouts_.readConstant;
    const bool own = limits.intervalMs == timeouts_.readInterval && limits.totalMs == ownTotal;
    // When the driver refuses, it keeps the time-outs it had and the read follows them.
    if (own) useReadTimeouts(timeouts_.readInterval, timeouts_.readMultiplier, timeouts_.readConstant);
    else useReadTimeouts(limits.intervalMs, 0, limits.totalMs);
    DWORD got = 0;
    read(buffer, count, got);
    return got;
}

bool SerialPort::writeAll(const std::uint8_t* data, std::size_t size, int limitMs) {
    (void)limitMs; // the driver's write time-outs (multiplier and constant) bound the write
    while (size > 0) {
        if (interrupted(interrupt())) return false;
        const DWORD chunk = size < kMaxChunk ? static_cast<DWORD>(size) : kMaxChunk;
        DWORD written = 0;
        if (!::WriteFile(handle_, data, chunk, &written, nullptr)) {
            noteFailure();
            return false;
        }
        if (written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

void SerialPort::discardInput(std::size_t) { ::PurgeComm(handle_, PURGE_RXCLEAR); }

bool SerialPort::setSpeed(int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    return ::SetCommState(handle_, &dcb) != 0;
}

} // namespace kavrel::link::win32
