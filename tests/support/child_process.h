// Other programs a test or benchmark starts (a broker, a subscriber, the tool itself), with
// their output in a file, and a loopback port that nothing listens on.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace kavrel::testing {

// Starts args[0] with the arguments; its output (and its errors, unless dropped) is added
// to `output`. Returns the process id, or -1.
inline pid_t startProcess(const std::vector<std::string>& args, const std::filesystem::path& output,
                          bool keepErrors = true) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (keepErrors) posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Sends the signal and waits for the process to end; returns its wait status.
inline int endProcess(pid_t& pid, int signal = SIGTERM) {
    int status = 0;
    if (pid <= 0) return status;
    ::kill(pid, signal);
    ::waitpid(pid, &status, 0);
    pid = -1;
    return status;
}

// A loopback port nobody listens on: bound once to learn a free one, then closed.
inline std::uint16_t closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    socklen_t size = sizeof where;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
    ::close(fd);
    return ntohs(where.sin_port);
}

} // namespace kavrel::testing
