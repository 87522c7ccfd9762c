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

TEST(Net, LargestSinglePacketAndPacketOverTheSetting) {
    const size_t big = 16777214;
    FakeServer srv([&](FakeConn& c) {
        c.sendPacket(0, std::string(big, 'q'));
        c.sendPacket(1, std::string(101, 'r'));  // one byte more than the setting below
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
    net.SetMaxAllowedPacket(100);
    EXPECT_EQ(net.net_safe_read(), -1);
    EXPECT_EQ(net.Getlast_errorno(), 2020);
    EXPECT_EQ(net.Getlast_error(), "Got packet bigger than 'max_allowed_packet'");
    EXPECT_FALSE(net.GetNetConnected());
}

namespace {
std::string header(std::size_t length, std::uint8_t seq) { return le(length, 3) + std::string(1, static_cast<char>(seq)); }
}  // namespace

// A payload of 0xFFFFFF bytes or more travels as a run of 0xFFFFFF-byte packets ended by
// a shorter one (empty when the payload ends on the boundary); the reader joins the run,
// plain and inside compressed frames, where a piece may straddle two frames.
TEST(Net, ContinuationPacketsAreJoined) {
    const std::size_t full = 0xFFFFFF;
    struct Case {
        const char* what;
        std::vector<std::size_t> pieces;  // physical packet lengths
        bool compressed;
        std::uint8_t badSeqAt;  // index of a piece sent out of order; 255 for none
        std::size_t setting;    // max_allowed_packet of the reader
        int expected;           // -1 for a failed read
        int error;
    } cases[] = {
        {"exactly 0xFFFFFF then empty", {full, 0}, false, 255, 1u << 30, int(full), 0},
        {"two full and a tail", {full, full, 5}, false, 255, 1u << 30, int(2 * full + 5), 0},
        {"wrong sequence on the continuation", {full, 7}, false, 1, 1u << 30, -1, 2013},
        {"joined payload over the setting", {full, 7}, false, 255, full + 6, -1, 2020},
        {"compressed, crossing the frame boundary", {full, 3}, true, 255, 1u << 30, int(full + 3), 0},
        {"compressed, exactly 0xFFFFFF then empty", {full, 0}, true, 255, 1u << 30, int(full), 0},
        {"compressed, joined payload over the setting", {full, 7}, true, 255, full + 6, -1, 2020},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::string packets;
        std::string payload;
        for (std::size_t i = 0; i < k.pieces.size(); ++i) {
            const std::string piece(k.pieces[i], static_cast<char>('a' + i));
            const std::uint8_t seq = k.compressed ? 0 : static_cast<std::uint8_t>(i == k.badSeqAt ? 9 : i);
            packets += header(piece.size(), seq) + piece;
            payload += piece;
        }
        packets += header(2, k.compressed ? 0 : static_cast<std::uint8_t>(k.pieces.size())) + "ok";
        FakeServer srv([&](FakeConn& c) {
            if (!k.compressed) {
                c.sendRaw(packets);
            } else {
                // Frames hold at most 0xFFFFFF bytes of the packet stream.
                std::uint8_t seq = 0;
                for (std::size_t at = 0; at < packets.size(); at += full)
                    c.sendFrame(seq++, packets.substr(at, full), true);
            }
            c.waitClosed(10000);
        });
        TMysqlNet net;
        open(net, srv);
        net.setcompress(k.compressed);
        net.SetMaxAllowedPacket(k.setting);
        const std::int32_t len = net.net_safe_read();
        ASSERT_EQ(len, k.expected);
        if (len < 0) {
            EXPECT_EQ(net.Getlast_errorno(), k.error);
            EXPECT_FALSE(net.GetNetConnected());
            continue;
        }
        EXPECT_TRUE(net.payload(len) == payload);
        EXPECT_EQ(net.read_pos()[len], 0);
        // The packet after the run is read as usual.
        ASSERT_EQ(net.net_safe_read(), 2);
        EXPECT_EQ(net.payload(2), "ok");
    }
}

// Writing splits the same way: a statement of 16,777,214 bytes fills the first packet
// with its command byte and is ended by an empty packet; longer ones continue.
TEST(Net, LongPayloadsAreWrittenAsContinuationPackets) {
    const std::size_t full = 0xFFFFFF;
    struct Case {
        std::size_t argument;
        std::vector<std::size_t> pieces;
    } cases[] = {
        {full - 2, {full - 1}},
        {full - 1, {full, 0}},
        {full, {full, 1}},
        {2 * full + 10, {full, full, 11}},
    };
    for (bool compressed : {false, true}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::to_string(k.argument) + (compressed ? " compressed" : ""));
            std::vector<std::size_t> lengths;
            std::vector<int> seqs;
            std::string joined;
            FakeServer srv([&](FakeConn& c) {
                std::string stream;
                if (compressed) {
                    std::string content;
                    while (stream.size() < k.argument + 1 + 4 * k.pieces.size() && c.readFrame(content)) stream += content;
                } else {
                    c.readExact(stream, k.argument + 1 + 4 * k.pieces.size());
                }
                std::size_t at = 0;
                while (at + 4 <= stream.size()) {
                    const std::size_t n = static_cast<unsigned char>(stream[at]) |
                                          (static_cast<unsigned char>(stream[at + 1]) << 8) |
                                          (static_cast<std::size_t>(static_cast<unsigned char>(stream[at + 2])) << 16);
                    lengths.push_back(n);
                    seqs.push_back(static_cast<unsigned char>(stream[at + 3]));
                    joined += stream.substr(at + 4, n);
                    at += 4 + n;
                }
            });
            TMysqlNet net;
            open(net, srv, false);
            net.setcompress(compressed);
            std::string argument(k.argument, 's');
            argument[k.argument - 1] = 'e';
            ASSERT_EQ(net.net_write_command(COM_QUERY, argument.data(), argument.size()), 0);
            srv.join();
            EXPECT_EQ(lengths, k.pieces);
            for (std::size_t i = 0; i < seqs.size(); ++i) EXPECT_EQ(seqs[i], compressed ? 0 : int(i));
            EXPECT_TRUE(joined == "\x03" + argument);
        }
    }
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

TEST(Net, WritesAndRefusesPayloadOverTheSetting) {
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
    net.SetMaxAllowedPacket(1000);
    std::string huge(1001, 'x');
    EXPECT_EQ(net.my_net_write(huge.data(), huge.size()), 1);
    EXPECT_EQ(net.Getlast_errorno(), 1153);
    EXPECT_EQ(net.net_write_command(COM_QUERY, "select 1", 8), 0);
    // A packet larger than the buffer travels in several sends and arrives whole.
    net.SetMaxAllowedPacket(20000);
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
