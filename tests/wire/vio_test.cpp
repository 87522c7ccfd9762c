// The transport: opening, failures and their texts, the pipe stand-in, time-outs.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fake_server.h"
#include "velmysql/wire/mysql_vio.h"

using namespace velmysql;
using namespace velmysql::testing;

namespace {
// A loopback port nobody listens on.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

struct PipePath {
    std::string saved = MYSQL_NAMEDPIPE_PATH;
    explicit PipePath(const std::string& p) { MYSQL_NAMEDPIPE_PATH = p; }
    ~PipePath() { MYSQL_NAMEDPIPE_PATH = saved; }
};
}  // namespace

TEST(Vio, OpenFailuresCarryTheirNumbersAndTexts) {
    const int port = closedPort();
    struct Case {
        TEnumVioType type;
        std::string host;
        bool trySocket;
        int status, number;
        std::string textStart;
    } cases[] = {
        {VIO_TYPE_TCPIP, "127.0.0.1", true, -6, 2003, "Can't connect to MySQL server on '127.0.0.1' ("},
        {VIO_TYPE_TCPIP, "no-such-host.invalid", true, -7, 2005, "Unknown MySQL Server Host 'no-such-host.invalid' ("},
        {VIO_TYPE_SSL, "127.0.0.1", true, -2, 0, ""},
        {VIO_TYPE_NAMEDPIPE, "db1", false, -9, 2017, "Can't open named pipe to host: .  pipe: MySQL ("},
        // The pipe fails, the TCP/IP fallback uses the given host and port.
        {VIO_TYPE_NAMEDPIPE, "127.0.0.1", true, -6, 2003, "Can't connect to MySQL server on '127.0.0.1' ("},
    };
    PipePath pipe("/nonexistent/velmysql.sock");
    for (const auto& c : cases) {
        TMysqlVio vio;
        EXPECT_EQ(vio.vio_open(c.type, c.host, "other", port, 2, c.trySocket), c.status) << c.host;
        EXPECT_EQ(vio.last_errno, c.number) << c.host;
        EXPECT_EQ(vio.Getlast_error().substr(0, c.textStart.size()), c.textStart);
        EXPECT_EQ(vio.GetVioType(), VIO_CLOSED);
    }
}

TEST(Vio, NoGreetingWithinTimeoutAndReadTimeout) {
    FakeServer silent([](FakeConn& c) { c.waitClosed(3000); });
    TMysqlVio vio;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(vio.vio_open(VIO_TYPE_TCPIP, "127.0.0.1", "", static_cast<int>(silent.port()), 1, true), -7);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
    EXPECT_EQ(vio.last_errno, 2003);
    silent.join();

    // Open without waiting, then a read that gets nothing within the timeout fails.
    FakeServer late([](FakeConn& c) { c.waitClosed(3000); });
    const std::int32_t savedTimeout = NET_READ_TIMEOUT;
    NET_READ_TIMEOUT = 1;  // what the timeout becomes when NoTimeOut is switched off
    TMysqlVio v2;
    v2.SetNoTimeOut(true);
    ASSERT_EQ(v2.vio_open(VIO_TYPE_TCPIP, "127.0.0.1", "", static_cast<int>(late.port()), 0, true), 0);
    EXPECT_TRUE(v2.IsBlocking());  // no time-out: the socket blocks
    v2.SetNoTimeOut(false);
    NET_READ_TIMEOUT = savedTimeout;
    EXPECT_EQ(v2.GetTimeout(), 1u);
    v2.vio_blocking(false);
    char b;
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(v2.vio_read(&b, 1), -1);
    EXPECT_FALSE(v2.vio_should_retry());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_EQ(v2.vio_open(VIO_TYPE_TCPIP, "127.0.0.1", "", static_cast<int>(late.port()), 0, true), -20);
    EXPECT_EQ(v2.GetVioType(), VIO_TYPE_TCPIP);
    EXPECT_EQ(v2.vio_close(), 0);
    EXPECT_EQ(v2.vio_close(), 0);
}

TEST(Vio, ClosedTransportAndErrorText) {
    TMysqlVio vio;
    char b;
    EXPECT_EQ(vio.vio_read(&b, 1), -1);
    EXPECT_EQ(vio.vio_write("x", 1), -1);
    EXPECT_EQ(vio.vio_blocking(true), -1);
    EXPECT_FALSE(vio.vio_poll_read(0));
    EXPECT_FALSE(vio.vio_should_retry());
    vio.Setlast_error(std::string(300, 'e'));
    EXPECT_EQ(vio.Getlast_error(), std::string(200, 'e'));
    // Without the try-socket flag a TCP/IP request opens nothing and succeeds.
    EXPECT_EQ(vio.vio_open(VIO_TYPE_TCPIP, "127.0.0.1", "", 1, 1, false), 0);
    EXPECT_EQ(vio.GetVioType(), VIO_CLOSED);
}
