// What every open and exchange of a ModuleLink returns (Ok = 0), with the numbers the
// programs have always used.
#pragma once

#include "link/transport.h"

namespace kavrel::link {

enum class [[nodiscard]] LinkResult : int {
    Ok = 0,
    // open: the port was not opened, or TCP did not connect in time (or the address is not
    // dotted IPv4); sendCommand: the write failed, or (TCP) no "OK" came in time;
    // query: the write or send failed.
    Failed = 1,
    BadReply = 2,          // sendCommand, serial: the reply does not start with "OK" CR
    NothingReceived = 3,   // serial: nothing received; TCP: the connection was closed
    ReceiveError = 4,      // TCP receive error
    SendError = 5,         // sendCommand, TCP: the send failed or there was no connection
    // open on TCP: the platform's connect results pass through with their own numbers
    // (TcpConnectResult), which the exchange results above also use.
    NoSocketLibrary = 3,
    NoSocket = 4,
    NoNonBlocking = 5,
};

// The link result of a TCP connect, number for number.
inline LinkResult linkResult(TcpConnectResult connect) {
    switch (connect) {
    case TcpConnectResult::Connected: return LinkResult::Ok;
    case TcpConnectResult::NotConnected: return LinkResult::Failed;
    case TcpConnectResult::NoSocketLibrary: return LinkResult::NoSocketLibrary;
    case TcpConnectResult::NoSocket: return LinkResult::NoSocket;
    case TcpConnectResult::NoNonBlocking: return LinkResult::NoNonBlocking;
    }
    return LinkResult::Failed;
}

} // namespace kavrel::link
