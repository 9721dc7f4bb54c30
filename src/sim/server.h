// Puts a simulated module on loopback TCP and on a pseudo-terminal: splits the incoming
// bytes into command lines at CR, asks the module, and sends its answers with the
// configured pacing and faults. One thread serves every connection, as the module
// serves one line at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "sim/module.h"

namespace kavrel::sim {

class SimServer {
public:
    explicit SimServer(SimModule& module);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Listens on address:port (port 0: any free one). Returns the port, or -1.
    int listenTcp(const std::string& address, int port);
    // Opens a pseudo-terminal. Returns the path a program opens as its serial port, or "".
    std::string openPty();
    // Keeps a symbolic link at `path` to the pseudo-terminal: a cut link ends the terminal
    // and opens a new one, as a USB adapter unplugged and plugged in again comes back
    // under its old name.
    void linkPty(const std::string& path);

    // Serves on a background thread until stop() or destruction.
    void start();
    // Serves on the calling thread until stopFlag becomes true.
    void run(const std::atomic<bool>& stopFlag);
    void stop();

private:
    struct Connection {
        Session session;
        std::string pending;   // bytes of a line not yet ended by CR
        bool isPty = false;
    };

    void acceptClient();
    // Reads what fd has; false when the connection is gone.
    bool serve(int fd, Connection& connection);
    // Sends one answer; false when the connection was dropped.
    bool sendAnswer(int fd, Connection& connection, const std::string& line, const Answer& answer);
    bool writePaced(int fd, const char* data, std::size_t size, int baud);
    // How late this answer goes out: the reply delay with its jitter drawn.
    int replyDelayMs(const LinkFaults& faults);

    // Closes or opens the listener as the listener cut's window says.
    void followListenerCut();

    SimModule& module_;
    int listenFd_ = -1;
    std::string listenAddress_;
    int listenPort_ = 0;
    bool listenersCut_ = false;
    std::chrono::steady_clock::time_point started_{};
    int ptyMaster_ = -1;
    int ptySlaveKeepalive_ = -1;   // held open so that the master never sees a hang-up
    int wakePipe_[2] = {-1, -1};
    std::string ptyLink_;
    bool ptyCut_ = false;          // the pseudo-terminal was cut: a new one replaces it
    std::map<int, Connection> connections_;
    std::mt19937 random_;          // the reply delay's jitter, from the options' seed
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

} // namespace kavrel::sim
