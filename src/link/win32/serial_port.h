// A COM port through the Win32 communications API. The driver's time-outs are the
// protocol's own read interval, multiplier and constant, so a timed read is one ReadFile.
#pragma once

#include <windows.h>

#include "link/transport.h"

namespace kavrel::link::win32 {

class SerialPort final : public Transport {
public:
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device (normally "\\.\COMn") for reading and writing without sharing, then
    // sets the line (request.baud, 8N1, binary, no flow control, DTR and RTS off), the
    // time-outs and the queue sizes. The line settings are written without checking; refused
    // time-outs leave the port open with the driver's previous ones and are reported.
    static SerialOpenResult open(const SerialRequest& request);

    ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override;
    std::size_t readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits) override;
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override;
    void discardInput(std::size_t maxBytes) override;
    bool setSpeed(int baud) override;
    // A USB adapter pulled out: its handle fails every call from then on.
    bool gone() const override { return gone_; }

private:
    SerialPort(HANDLE handle, const SerialTimeouts& timeouts) : handle_(handle), timeouts_(timeouts) {}
    // Sets the read part of the driver's time-outs when it differs from what is set.
    bool useReadTimeouts(DWORD interval, DWORD multiplier, DWORD constant);
    bool read(std::uint8_t* buffer, std::size_t count, DWORD& got);
    // After a failed call: the errors of a device that is no longer there mark the port gone.
    void noteFailure();

    HANDLE handle_;
    SerialTimeouts timeouts_;   // as set at open: what a read of the protocol's own limits uses
    COMMTIMEOUTS current_{};    // what the driver was last given
    bool gone_ = false;
};

} // namespace kavrel::link::win32
