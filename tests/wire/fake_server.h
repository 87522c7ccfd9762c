#pragma once
// A scripted server on loopback for protocol situations a real server will not
// produce. The script runs on its own thread against one accepted connection.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velmysql::testing {

class FakeConn {
public:
    explicit FakeConn(int fd) : fd_(fd) {}
    void sendRaw(const std::string& bytes);
    // One packet with a 4-byte header.
    void sendPacket(std::uint8_t seq, const std::string& payload);
    // One compressed frame holding `inner` (already framed packets); compressed when
    // `compress` is set, else sent with uncompressed length 0.
    void sendFrame(std::uint8_t seq, const std::string& inner, bool compress);
    // Reads one packet; false when the client closed. seq receives its number.
    bool readPacket(std::string& payload, std::uint8_t* seq = nullptr);
    // Reads one compressed frame and returns its (decompressed) content.
    bool readFrame(std::string& content, std::uint8_t* seq = nullptr, std::uint32_t* uncompressed = nullptr);
    bool readExact(std::string& out, std::size_t n);
    // True when the client closed its side (reads 0 within the time limit).
    bool waitClosed(int ms = 2000);
    void close();
    int fd() const { return fd_; }

private:
    int fd_;
};

class FakeServer {
public:
    using Script = std::function<void(FakeConn&)>;
    explicit FakeServer(Script script, int connections = 1);
    ~FakeServer();
    unsigned port() const { return port_; }
    void join();

private:
    int listenFd_ = -1;
    unsigned port_ = 0;
    std::thread thread_;
};

// Packet builders.
std::string le(std::uint64_t v, int bytes);
std::string lenenc(std::uint64_t v);
std::string lenencStr(const std::string& s);
// A protocol-10 greeting; caps and whether the second scramble part is present.
std::string greeting(std::uint32_t caps, bool secondPart = true, int protocol = 10,
                     const std::string& scramble = "abcdefghijklmnopqrst");
std::string okPacket(std::uint64_t affected = 0, std::uint64_t insertId = 0, std::uint16_t status = 2);
std::string eofPacket();
// A 4.1 column descriptor packet.
std::string field41(const std::string& name, std::uint8_t type, std::uint32_t length = 11,
                    std::uint16_t flags = 0, std::uint8_t decimals = 0);
std::string row(const std::vector<const char*>& values);  // nullptr = NULL

}  // namespace velmysql::testing
