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
    // Listening on a Unix-domain socket at unixPath instead of TCP/IP loopback (the local
    // socket the client opens in place of the named pipe).
    FakeServer(Script script, const std::string& unixPath);
    ~FakeServer();
    unsigned port() const { return port_; }
    void join();

private:
    int listenFd_ = -1;
    unsigned port_ = 0;
    std::string unixPath_;
    std::thread thread_;
    void run(Script script, int connections);
};

// Packet builders.
std::string le(std::uint64_t v, int bytes);
std::string lenenc(std::uint64_t v);
std::string lenencStr(const std::string& s);
// Bytes as lower-case hexadecimal digits, for comparing binary answers readably.
std::string hex(const std::string& bytes);
// A protocol-10 greeting; caps and whether the second scramble part is present.
std::string greeting(std::uint32_t caps, bool secondPart = true, int protocol = 10,
                     const std::string& scramble = "abcdefghijklmnopqrst");
// A greeting of a current server: the whole 32-bit capability word, the 20-character
// scramble and, with CLIENT_PLUGIN_AUTH among caps, the name of the login method.
std::string greeting41(std::uint32_t caps, const std::string& plugin,
                       const std::string& scramble = "abcdefghijklmnopqrst");
// A switch request: 254, the method's name and 0, then its data as given.
std::string authSwitch(const std::string& method, const std::string& data);
std::string okPacket(std::uint64_t affected = 0, std::uint64_t insertId = 0, std::uint16_t status = 2);
std::string eofPacket();
// A 4.1 column descriptor packet.
std::string field41(const std::string& name, std::uint8_t type, std::uint32_t length = 11,
                    std::uint16_t flags = 0, std::uint8_t decimals = 0);
std::string row(const std::vector<const char*>& values);  // nullptr = NULL

}  // namespace velmysql::testing
