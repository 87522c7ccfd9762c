// The packet channel against a scripted server on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "fake_server.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/mysql_net.h"

#include <zlib.h>

using namespace velmysql;
using namespace velmysql::testing;

namespace {
// Opens a channel to the fake server. When the script writes first the open waits for
// its bytes; otherwise pass waitForData false.
void open(TMysqlNet& net, const FakeServer& srv, bool waitForData = true) {
    if (!waitForData) net.SetNoTimeOut(true);
    ASSERT_EQ(net.net_open(VIO_TYPE_TCPIP, "127.0.0.1", "", static_cast<int>(srv.port()), waitForData ? 5 : 0, true), 0);
}
}  // namespace

TEST(Net, ReadsPacketsInOrderAndRejectsOutOfOrder) {
    FakeServer srv([](FakeConn& c) {
        c.sendPacket(0, "hello");
        c.sendPacket(1, std::string("\0x", 2));
        c.sendPacket(5, "late");  // expected 2
        c.waitClosed();
    });
    TMysqlNet net;
    open(net, srv);
    ASSERT_EQ(net.net_safe_read(), 5);
    EXPECT_STREQ(reinterpret_cast<const char*>(net.read_pos()), "hello");  // NUL after payload
    ASSERT_EQ(net.net_safe_read(), 2);
    EXPECT_EQ(net.payload(2), std::string("\0x", 2));
    EXPECT_EQ(net.net_safe_read(), -1);
    EXPECT_EQ(net.Getlast_errorno(), 2013);
    EXPECT_EQ(net.Getlast_error(), "Lost connection to MySQL server during query");
    EXPECT_FALSE(net.GetNetConnected());
}

// Reading a packet in place answers what net_safe_read answers, whether the packet has
// arrived whole or in pieces, and the two reads mix in one sequence.
TEST(Net, InPlaceReadsAnswerLikeCopyingReads) {
    FakeServer srv([](FakeConn& c) {
        c.sendPacket(0, "one");
        c.sendPacket(1, std::string("\0two", 4));
        c.sendRaw(std::string("\x05\x00\x00\x02" "th", 6));  // the rest comes later
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.sendRaw("ree");
        c.sendPacket(3, "four");
        c.sendPacket(4, "\xFF\x15\x04#28000denied");
        c.sendPacket(9, "late");  // expected 6
        c.waitClosed();
    });
    TMysqlNet net;
    open(net, srv);
    net.protocol_version = 10;
    std::string_view view;
    ASSERT_EQ(net.net_safe_read_view(view), 3);
    EXPECT_EQ(view, "one");
    ASSERT_EQ(net.net_safe_read_view(view), 4);
    EXPECT_EQ(view, std::string_view("\0two", 4));
    ASSERT_EQ(net.net_safe_read_view(view), 5);
    EXPECT_EQ(view, "three");
    ASSERT_EQ(net.net_safe_read(), 4);
    EXPECT_EQ(net.payload(4), "four");
    EXPECT_EQ(net.net_safe_read_view(view), -1);
    EXPECT_EQ(net.Getlast_errorno(), 1045);
    EXPECT_TRUE(net.GetNetConnected());
    EXPECT_EQ(net.net_safe_read_view(view), -1);
    EXPECT_EQ(net.Getlast_errorno(), 2013);
    EXPECT_FALSE(net.GetNetConnected());
}

TEST(Net, ErrorPackets) {
    struct Case {
        int protocol;
        std::string payload;
        int number;
        std::string text;
    } cases[] = {
        {10, std::string("\xFF\x81\x04" "ab", 5), 1153, "ab"},
        {9, std::string("\xFF\x81\x04" "ab", 5), 2000, "\x81\x04" "ab"},
        {10, std::string("\xFF\x81\x04", 3), 2000, "Unknown MySQL error"},
        {10, "\xFF\x15\x04#28000Access denied", 1045, "#28000Access denied"},
        {10, "\xFF\x15\x04" + std::string(300, 'x'), 1045, std::string(199, 'x')},
    };
    for (const auto& c : cases) {
        FakeServer srv([&](FakeConn& conn) {
            conn.sendPacket(0, c.payload);
            conn.waitClosed();
        });
        TMysqlNet net;
        open(net, srv);
        net.protocol_version = c.protocol;
        EXPECT_EQ(net.net_safe_read(), -1);
        EXPECT_EQ(net.Getlast_errorno(), c.number);
        EXPECT_EQ(net.Getlast_error(), c.text);
        EXPECT_TRUE(net.GetNetConnected());  // a server error keeps the connection
    }
}

TEST(Net, LargestPacketAndOversizedHeader) {
    const size_t big = 16777214;
    FakeServer srv([&](FakeConn& c) {
        c.sendPacket(0, std::string(big, 'q'));
        c.sendRaw(std::string("\xFF\xFF\xFF\x01", 4));  // announces 16,777,215 bytes
        c.waitClosed(5000);
    });
    TMysqlNet net;
    open(net, srv);
    ASSERT_EQ(net.net_safe_read(), static_cast<int>(big));
    EXPECT_EQ(net.capacity(), 16777216u);
    EXPECT_EQ(net.read_pos()[big - 1], 'q');
    EXPECT_EQ(net.read_pos()[big], 0);
    EXPECT_TRUE(net.net_pack());
    EXPECT_EQ(net.capacity(), 8192u);
    EXPECT_EQ(net.net_safe_read(), -1);
    EXPECT_EQ(net.Getlast_errorno(), 2020);
    EXPECT_EQ(net.Getlast_error(), "Got packet bigger than 'max_allowed_packet'");
    EXPECT_FALSE(net.GetNetConnected());
}

TEST(Net, ShortReadsAndEmptyPacketAreLostConnection) {
    struct Case {
        std::string bytes;
    } cases[] = {
        {std::string("\x05\x00", 2)},             // header cut
        {std::string("\x05\x00\x00\x00" "ab", 6)}, // payload cut
        {std::string("\x00\x00\x00\x00", 4)},      // zero-length packet
    };
    for (const auto& c : cases) {
        FakeServer srv([&](FakeConn& conn) { conn.sendRaw(c.bytes); });
        TMysqlNet net;
        open(net, srv);
        EXPECT_EQ(net.net_safe_read(), -1);
        EXPECT_EQ(net.Getlast_errorno(), 2013);
        EXPECT_FALSE(net.GetNetConnected());
    }
}

TEST(Net, WritesAndRefusesTooLargePayload) {
    std::string got;
    std::uint8_t seq = 99;
    FakeServer srv([&](FakeConn& c) {
        c.readPacket(got, &seq);
        std::string second;
        c.readPacket(second);
        got += "|" + second;
    });
    TMysqlNet net;
    open(net, srv, false);
    std::string huge(16777215, 'x');
    EXPECT_EQ(net.my_net_write(huge.data(), huge.size()), 1);
    EXPECT_EQ(net.Getlast_errorno(), 1153);
    EXPECT_EQ(net.net_write_command(COM_QUERY, "select 1", 8), 0);
    // A packet larger than the buffer travels in several sends and arrives whole.
    std::string large(20000, 'z');
    EXPECT_EQ(net.my_net_write(large.data(), large.size()), 0);
    EXPECT_EQ(net.net_flush(), 0);
    srv.join();
    EXPECT_EQ(seq, 0);
    EXPECT_EQ(got, "\x03select 1|" + large);
    EXPECT_EQ(net.capacity(), 8192u);  // writing never grows the buffer
}

TEST(Net, CompressedWritesUseFramesAndCompressOnlyWorthwhileBlocks) {
    struct Seen {
        std::string content;
        std::uint32_t u = 77;
    } small, large;
    FakeServer srv([&](FakeConn& c) {
        c.readFrame(small.content, nullptr, &small.u);
        c.readFrame(large.content, nullptr, &large.u);
    });
    TMysqlNet net;
    open(net, srv, false);
    net.setcompress(true);
    std::string p45(45, 'a');  // 4-byte header + 45 = 49 bytes flushed
    ASSERT_EQ(net.my_net_write(p45.data(), p45.size()), 0);
    ASSERT_EQ(net.net_flush(), 0);
    std::string zeros(996, '\0');  // 1000 bytes flushed
    ASSERT_EQ(net.my_net_write(zeros.data(), zeros.size()), 0);
    ASSERT_EQ(net.net_flush(), 0);
    srv.join();
    EXPECT_EQ(small.u, 0u);
    EXPECT_EQ(small.content, le(45, 3) + std::string(1, '\0') + p45);
    EXPECT_EQ(large.u, 1000u);
    EXPECT_EQ(large.content, le(996, 3) + std::string(1, '\0') + zeros);
}

TEST(Net, CompressedReadsSplitAndJoinPackets) {
    const std::string a = std::string(300, 'a'), b = "bee", c = std::string(5000, 'c');
    const std::string pa = le(a.size(), 3) + '\0' + a, pb = le(b.size(), 3) + '\1' + b,
                      pc = le(c.size(), 3) + '\2' + c;
    FakeServer srv([&](FakeConn& conn) {
        conn.sendFrame(0, pa + pb, true);                        // two packets in one frame
        conn.sendFrame(1, pc.substr(0, 100), false);             // one packet over two frames,
        conn.sendFrame(2, pc.substr(100), true);                 // the second compressed
        conn.sendFrame(3, std::string("\x02\0\0\0ok", 6), false);
        conn.waitClosed();
    });
    TMysqlNet net;
    open(net, srv);
    net.setcompress(true);
    ASSERT_EQ(net.net_safe_read(), 300);
    EXPECT_EQ(net.payload(300), a);
    ASSERT_EQ(net.net_safe_read(), 3);
    EXPECT_STREQ(reinterpret_cast<const char*>(net.read_pos()), "bee");
    ASSERT_EQ(net.net_safe_read(), 5000);
    EXPECT_EQ(net.payload(5000), c);
    ASSERT_EQ(net.net_safe_read(), 2);
    EXPECT_EQ(net.payload(2), "ok");
}

TEST(Net, CompressedFrameOfWrongSizeIsLostConnection) {
    FakeServer srv([&](FakeConn& conn) {
        std::string inner = le(60, 3) + '\0' + std::string(60, 'x');
        uLongf n = compressBound(inner.size());
        std::string z(n, '\0');
        compress(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(inner.data()), inner.size());
        z.resize(n);
        // Announces 100 bytes; the data restores to 64.
        conn.sendRaw(le(z.size(), 3) + '\0' + le(100, 3) + z);
        conn.waitClosed();
    });
    TMysqlNet net;
    open(net, srv);
    net.setcompress(true);
    EXPECT_EQ(net.net_safe_read(), -1);
    EXPECT_EQ(net.Getlast_errorno(), 2013);
    EXPECT_FALSE(net.GetNetConnected());
}

TEST(Net, ClosedChannelRefusesIO) {
    TMysqlNet net;
    EXPECT_FALSE(net.GetNetConnected());
    EXPECT_NE(net.net_real_write("x", 1), 0);
    EXPECT_EQ(net.net_safe_read(), -1);
    EXPECT_EQ(net.net_close(), 0);
    EXPECT_TRUE(net.net_pack());
}
