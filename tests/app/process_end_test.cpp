// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_paths.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// True when bytes written on `from` arrive on `to`: neither end was shut.
bool stillCarries(int from, int to) {
    const char text[] = "still open";
    if (::send(from, text, sizeof text, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof text))
        return false;
    char got[sizeof text] = {};
    return ::recv(to, got, sizeof got, MSG_WAITALL) == static_cast<ssize_t>(sizeof text) &&
           std::string(got) == text;
}

// The end after a stuck read shuts down the connections the process made,
// and leaves alone the sockets it was given: its standard output (a socket
// pair, as launchers and the journal give) and an inherited descriptor. A
// child of the process keeps them all open meanwhile, as the stuck thread
// keeps the process's own.
TEST(ProcessEnd, ShutsTheProcesssOwnConnectionsAndNoSocketItWasGiven) {
    tovimo::testing::TempFolder folder;
    const QByteArray socketPath = QFile::encodeName(folder.file(QStringLiteral("s")));
    Fd listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<std::size_t>(socketPath.size()));
    ASSERT_EQ(::bind(listener.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.fd, 1), 0);

    int output[2], given[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, output), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, given), 0);
    const Fd outputOurs{output[0]}, outputTheirs{output[1]}, givenOurs{given[0]}, givenTheirs{given[1]};

    const pid_t probe = ::fork();
    ASSERT_GE(probe, 0);
    if (probe == 0) {
        // dup2 clears close-on-exec on the copies.
        if (::dup2(outputTheirs.fd, STDOUT_FILENO) < 0 || ::dup2(givenTheirs.fd, 3) < 0)
            ::_exit(127);
        ::execl(TOVIMO_PROCESS_END_PROBE, TOVIMO_PROCESS_END_PROBE, socketPath.constData(), nullptr);
        ::_exit(127);
    }
    const Fd connection{::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC)};
    int status = 0;
    ASSERT_EQ(::waitpid(probe, &status, 0), probe);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 7);
    ASSERT_GE(connection.fd, 0);

    char line[32] = {};
    ASSERT_GT(::recv(outputOurs.fd, line, sizeof line - 1, 0), 0);
    const pid_t holder = static_cast<pid_t>(std::stol(line));
    ASSERT_GT(holder, 0);

    // The holder still has them open: only a shutdown ends the connection.
    pollfd wait{connection.fd, POLLIN, 0};
    EXPECT_EQ(::poll(&wait, 1, 60'000), 1);
    char byte = 0;
    EXPECT_EQ(::recv(connection.fd, &byte, 1, MSG_DONTWAIT), 0)
        << "the process's own connection was not shut";

    EXPECT_TRUE(stillCarries(outputTheirs.fd, outputOurs.fd)) << "standard output was shut";
    EXPECT_TRUE(stillCarries(outputOurs.fd, outputTheirs.fd)) << "standard output was shut";
    EXPECT_TRUE(stillCarries(givenTheirs.fd, givenOurs.fd)) << "the inherited socket was shut";
    EXPECT_TRUE(stillCarries(givenOurs.fd, givenTheirs.fd)) << "the inherited socket was shut";

    ::kill(holder, SIGKILL);
}

} // namespace
