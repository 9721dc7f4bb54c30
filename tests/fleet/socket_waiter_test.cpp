// The loop's wait keeps its set between waits: a socket closed and its number given out again
// (to the same poll's next connect, or to another module's) is watched as the new socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fleet/socket_waiter.h"

using kavrel::fleet::SocketWaiter;

namespace {

struct Pair {
    int fd[2] = {-1, -1};
    Pair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
    ~Pair() { closeBoth(); }
    void closeBoth() {
        for (int& f : fd)
            if (f >= 0) ::close(f), f = -1;
    }
    void send() { EXPECT_EQ(::write(fd[1], "x", 1), 1); }
};

std::vector<std::pair<std::size_t, short>> waitOnce(SocketWaiter& waiter) {
    std::vector<std::pair<std::size_t, short>> ready;
    waiter.wait(0, ready);
    return ready;
}

} // namespace

TEST(SocketWaiter, WatchesANumberGivenOutAgainAsTheNewSocket) {
    SocketWaiter waiter;
    auto first = std::make_unique<Pair>();
    const int number = first->fd[0];
    waiter.watch(1, number, POLLIN, 1);
    first->send();
    EXPECT_EQ(waitOnce(waiter), (std::vector<std::pair<std::size_t, short>>{{1, POLLIN}}));

    // The same poll connects anew and gets the same number back.
    first.reset();
    Pair second;
    ASSERT_EQ(second.fd[0] == number || second.fd[1] == number, true);
    const int reused = second.fd[0] == number ? 0 : 1;
    waiter.watch(1, second.fd[reused], POLLIN, 2);
    EXPECT_TRUE(waitOnce(waiter).empty());
    EXPECT_EQ(::write(second.fd[1 - reused], "x", 1), 1);
    EXPECT_EQ(waitOnce(waiter), (std::vector<std::pair<std::size_t, short>>{{1, POLLIN}}));

    // Another module's poll takes the number over; the first one's forget() leaves it alone.
    second.closeBoth();
    Pair third;
    const int taken = third.fd[0] == number ? 0 : 1;
    ASSERT_EQ(third.fd[taken], number);
    waiter.watch(2, third.fd[taken], POLLIN, 1);
    waiter.forget(1);
    EXPECT_EQ(::write(third.fd[1 - taken], "x", 1), 1);
    EXPECT_EQ(waitOnce(waiter), (std::vector<std::pair<std::size_t, short>>{{2, POLLIN}}));
    waiter.forget(2);
    EXPECT_TRUE(waitOnce(waiter).empty());
}
