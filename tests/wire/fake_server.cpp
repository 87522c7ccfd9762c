#include "fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <zlib.h>

namespace velmysql::testing {

void FakeConn::sendRaw(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void FakeConn::sendPacket(std::uint8_t seq, const std::string& payload) {
    sendRaw(le(payload.size(), 3) + std::string(1, static_cast<char>(seq)) + payload);
}

void FakeConn::sendFrame(std::uint8_t seq, const std::string& inner, bool compress) {
    if (!compress) {
        sendRaw(le(inner.size(), 3) + std::string(1, static_cast<char>(seq)) + le(0, 3) + inner);
        return;
    }
    uLongf n = compressBound(inner.size());
    std::string z(n, '\0');
    ::compress(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(inner.data()), inner.size());
    z.resize(n);
    sendRaw(le(z.size(), 3) + std::string(1, static_cast<char>(seq)) + le(inner.size(), 3) + z);
}

bool FakeConn::readExact(std::string& out, std::size_t n) {
    out.assign(n, '\0');
    size_t got = 0;
    while (got < n) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        ssize_t r = ::recv(fd_, out.data() + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

bool FakeConn::readPacket(std::string& payload, std::uint8_t* seq) {
    std::string h;
    if (!readExact(h, 4)) return false;
    size_t len = static_cast<unsigned char>(h[0]) | (static_cast<unsigned char>(h[1]) << 8) |
                 (static_cast<unsigned char>(h[2]) << 16);
    if (seq) *seq = static_cast<std::uint8_t>(h[3]);
    return readExact(payload, len);
}

bool FakeConn::readFrame(std::string& content, std::uint8_t* seq, std::uint32_t* uncompressed) {
    std::string h;
    if (!readExact(h, 7)) return false;
    auto b = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(h[i])); };
    size_t len = b(0) | (b(1) << 8) | (b(2) << 16);
    std::uint32_t u = b(4) | (b(5) << 8) | (b(6) << 16);
    if (seq) *seq = static_cast<std::uint8_t>(h[3]);
    if (uncompressed) *uncompressed = u;
    std::string body;
    if (!readExact(body, len)) return false;
    if (u == 0) {
        content = body;
        return true;
    }
    content.assign(u, '\0');
    uLongf dest = u;
    return ::uncompress(reinterpret_cast<Bytef*>(content.data()), &dest,
                        reinterpret_cast<const Bytef*>(body.data()), body.size()) == Z_OK &&
           dest == u;
}

bool FakeConn::waitClosed(int ms) {
    char c;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    return ::recv(fd_, &c, 1, 0) <= 0;
}

void FakeConn::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FakeServer::FakeServer(Script script, int connections) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 4) != 0)
        throw std::runtime_error("fake server: cannot listen");
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    run(std::move(script), connections);
}

FakeServer::FakeServer(Script script, const std::string& unixPath) : unixPath_(unixPath) {
    ::unlink(unixPath.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    unixPath.copy(a.sun_path, sizeof a.sun_path - 1);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 4) != 0)
        throw std::runtime_error("fake server: cannot listen on " + unixPath);
    run(std::move(script), 1);
}

void FakeServer::run(Script script, int connections) {
    thread_ = std::thread([this, script = std::move(script), connections] {
        for (int i = 0; i < connections; ++i) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            FakeConn c(fd);
            script(c);
            c.close();
        }
    });
}

void FakeServer::join() {
    if (thread_.joinable()) thread_.join();
}

FakeServer::~FakeServer() {
    join();
    ::close(listenFd_);
    if (!unixPath_.empty()) ::unlink(unixPath_.c_str());
}

std::string le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

std::string lenenc(std::uint64_t v) {
    if (v < 251) return le(v, 1);
    if (v < 65536) return "\xFC" + le(v, 2);
    if (v < (1u << 24)) return "\xFD" + le(v, 3);
    return "\xFE" + le(v, 8);
}

std::string lenencStr(const std::string& s) { return lenenc(s.size()) + s; }

std::string hex(const std::string& bytes) {
    static const char* d = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(d[c >> 4]);
        out.push_back(d[c & 15]);
    }
    return out;
}

std::string greeting(std::uint32_t caps, bool secondPart, int protocol, const std::string& scramble) {
    std::string g(1, static_cast<char>(protocol));
    g += "5.5.5-fake";
    g.push_back('\0');
    g += le(77, 4);
    g += scramble.substr(0, 8);
    g.push_back('\0');
    g += le(caps, 2);
    g += le(8, 1);
    g += le(2, 2);
    g += std::string(13, '\0');
    if (secondPart) {
        g += scramble.substr(8, 12);
        g.push_back('\0');
    }
    return g;
}

std::string greeting41(std::uint32_t caps, const std::string& plugin, const std::string& scramble) {
    std::string g(1, '\x0a');
    g += "8.0.99-fake";
    g.push_back('\0');
    g += le(78, 4);
    g += scramble.substr(0, 8);
    g.push_back('\0');
    g += le(caps & 0xFFFF, 2);
    g += le(8, 1);
    g += le(2, 2);
    g += le(caps >> 16, 2);
    g += le(21, 1);
    g += std::string(10, '\0');
    g += scramble.substr(8, 12);
    g.push_back('\0');
    if (caps & (1u << 19)) {
        g += plugin;
        g.push_back('\0');
    }
    return g;
}

std::string authSwitch(const std::string& method, const std::string& data) {
    return "\xFE" + method + std::string(1, '\0') + data;
}

std::string okPacket(std::uint64_t affected, std::uint64_t insertId, std::uint16_t status) {
    return std::string(1, '\0') + lenenc(affected) + lenenc(insertId) + le(status, 2) + le(0, 2);
}

std::string eofPacket() { return std::string("\xFE\0\0\x02\0", 5); }

std::string field41(const std::string& name, std::uint8_t type, std::uint32_t length, std::uint16_t flags,
                    std::uint8_t decimals) {
    std::string f = lenencStr("def") + lenencStr("db") + lenencStr("t") + lenencStr("t") + lenencStr(name) +
                    lenencStr(name);
    std::string fixed = le(8, 2) + le(length, 4) + le(type, 1) + le(flags, 2) + le(decimals, 1) + le(0, 2);
    f += lenencStr(fixed);
    return f;
}

std::string row(const std::vector<const char*>& values) {
    std::string r;
    for (const char* v : values) r += v ? lenencStr(v) : std::string("\xFB");
    return r;
}

}  // namespace velmysql::testing
