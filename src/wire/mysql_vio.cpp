#include "velmysql/wire/mysql_vio.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "velmysql/wire/mysql_errors.h"

namespace velmysql {

namespace {
constexpr std::size_t kReadAhead = 65536;
constexpr int kPipeAttempts = 101;
}  // namespace

TMysqlVio::TMysqlVio() = default;

TMysqlVio::~TMysqlVio() {
    if (type_ != VIO_CLOSED) vio_close();
}

void TMysqlVio::Setlast_error(const std::string& text) { last_error_ = text.substr(0, 200); }

void TMysqlVio::setError(int number, const std::string& text) {
    last_errno = number;
    Setlast_error(text);
}

void TMysqlVio::closeFd(int& fd) {
    if (fd > 0) ::close(fd);
    fd = -1;
}

std::int32_t TMysqlVio::vio_open(TEnumVioType type, const std::string& host, const std::string& pipeName,
                                 std::int32_t port, std::uint32_t timeout, bool trySocket) {
    if (type_ != VIO_CLOSED) return -20;
    timeout_ = timeout;
    if (!noTimeOut_ && timeout == 0) timeout_ = static_cast<std::uint32_t>(NET_READ_TIMEOUT);
    if (type == VIO_TYPE_SSL) return -2;
    const std::string savedHost = host;
    (void)pipeName;  // a pipe connection always goes to the local server's socket
    if (type == VIO_TYPE_NAMEDPIPE) {
        if (openPipe()) {
            type_ = VIO_TYPE_NAMEDPIPE;
            sd_ = 0;
            return 0;
        }
        if (!trySocket) return -9;
        return openTcp(savedHost, port);
    }
    if (!trySocket) return 0;
    return openTcp(savedHost, port);
}

bool TMysqlVio::openPipe() {
    const char* hostText = LOCAL_HOST_NAMEDPIPE;
    const char* pipeText = MYSQL_NAMEDPIPE;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (MYSQL_NAMEDPIPE_PATH.size() >= sizeof addr.sun_path) {
        setError(CR_NAMEDPIPEOPEN_ERROR,
                 FormatClientError(ClientErrorText(CR_NAMEDPIPEOPEN_ERROR), hostText, pipeText, ENAMETOOLONG));
        return false;
    }
    std::memcpy(addr.sun_path, MYSQL_NAMEDPIPE_PATH.c_str(), MYSQL_NAMEDPIPE_PATH.size() + 1);
    int lastErr = 0;
    for (int attempt = 0; attempt < kPipeAttempts; ++attempt) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastErr = errno;
            break;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            hPipe_ = fd;
            fcntl_ = 0;  // blocking, like a pipe
            return true;
        }
        lastErr = errno;
        ::close(fd);
        if (lastErr != EAGAIN) break;
        // The server's backlog is full: wait a little and try again, like a busy pipe.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    setError(CR_NAMEDPIPEOPEN_ERROR,
             FormatClientError(ClientErrorText(CR_NAMEDPIPEOPEN_ERROR), hostText, pipeText,
                               static_cast<unsigned>(lastErr)));
    return false;
}

std::int32_t TMysqlVio::openTcp(const std::string& hostIn, std::int32_t port) {
    std::string host = hostIn.empty() ? std::string(LOCAL_HOST) : hostIn;
    if (port == 0) port = MYSQL_PORT;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        int e = errno;
        setError(CR_IPSOCK_ERROR, FormatClientError(ClientErrorText(CR_IPSOCK_ERROR), e));
        return -8;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* res = nullptr;
        int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &res);
        if (rc != 0 || res == nullptr) {
            ::close(fd);
            setError(CR_UNKNOWN_HOST, FormatClientError(ClientErrorText(CR_UNKNOWN_HOST), host.c_str(), rc));
            return -7;
        }
        addr.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
        ::freeaddrinfo(res);
    }
    sd_ = fd;
    type_ = VIO_TYPE_TCPIP;
    fcntl_ = 0;
    vio_blocking(false);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS &&
        errno != EWOULDBLOCK) {
        int e = errno;
        vio_close();
        setError(CR_CONN_HOST_ERROR, FormatClientError(ClientErrorText(CR_CONN_HOST_ERROR), host.c_str(), e));
        return -6;
    }
    fastsend();
    keepalive(true);
    if (timeout_ != 0) {
        bool ready = vio_poll_read(timeout_);
        int soErr = 0;
        socklen_t len = sizeof soErr;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
        if (soErr != 0) {
            // The connection attempt itself failed (refused, unreachable).
            vio_close();
            setError(CR_CONN_HOST_ERROR,
                     FormatClientError(ClientErrorText(CR_CONN_HOST_ERROR), host.c_str(), soErr));
            return -6;
        }
        if (!ready) {
            vio_close();
            setError(CR_CONN_HOST_ERROR,
                     FormatClientError(ClientErrorText(CR_CONN_HOST_ERROR), host.c_str(), ETIMEDOUT));
            return -7;
        }
    }
    if (noTimeOut_) vio_blocking(true);
    hPipe_ = 0;
    last_error_.clear();
    last_errno = 0;
    return 0;
}

std::int32_t TMysqlVio::vio_close() {
    std::int32_t r = 0;
    tls_.reset();  // says goodbye to the TLS session while the socket is still open
    if (type_ == VIO_TYPE_TCPIP) {
        if (::shutdown(sd_, SHUT_RDWR) != 0) r = -1;
        if (::close(sd_) != 0) r = -1;
    } else if (type_ == VIO_TYPE_NAMEDPIPE) {
        ::close(hPipe_);
    } else {
        return 0;
    }
    sd_ = -1;
    hPipe_ = -1;
    fcntl_ = 0;
    type_ = VIO_CLOSED;
    rpos_ = rend_ = 0;
    return r;
}

std::int32_t TMysqlVio::vio_read(void* buffer, std::size_t count) {
    if (type_ == VIO_CLOSED) return -1;
    if (count == 0) return 0;
    if (rpos_ < rend_) {
        std::size_t n = std::min(count, rend_ - rpos_);
        std::memcpy(buffer, rbuf_.get() + rpos_, n);
        rpos_ += n;
        return static_cast<std::int32_t>(n);
    }
    if (!rbuf_) rbuf_.reset(new unsigned char[kReadAhead]);
    if (tls_) {
        // Decrypted bytes go to the read-ahead like received ones; large reads straight
        // to the caller.
        const bool direct = count >= kReadAhead;
        const std::int32_t n = tlsRead(direct ? buffer : rbuf_.get(), direct ? count : kReadAhead);
        if (n <= 0 || direct) return n;
        rpos_ = 0;
        rend_ = static_cast<std::size_t>(n);
        const std::size_t take = std::min(count, rend_);
        std::memcpy(buffer, rbuf_.get(), take);
        rpos_ = take;
        return static_cast<std::int32_t>(take);
    }
    const int fd = type_ == VIO_TYPE_TCPIP ? sd_ : hPipe_;
    // Wait for data within the timeout, unless the socket may block or there is no
    // timeout. A non-blocking socket is tried first: a poll is only needed when empty.
    bool mustWait = type_ == VIO_TYPE_TCPIP && !noTimeOut_;
    if (mustWait && !IsBlocking()) {
        // fall through to a first attempt below
    } else if (mustWait) {
        if (!vio_poll_read(timeout_)) return -1;
        mustWait = false;
    }
    // Large reads go straight to the caller; small ones fill the read-ahead.
    const bool direct = count >= kReadAhead;
    for (;;) {
        ssize_t n = direct ? ::recv(fd, buffer, std::min<std::size_t>(count, 0x7FFFFFFF), 0)
                           : ::recv(fd, rbuf_.get(), kReadAhead, 0);
        if (n < 0) {
            sockErr_ = errno;
            if (mustWait && (sockErr_ == EAGAIN || sockErr_ == EWOULDBLOCK)) {
                mustWait = false;
                if (!vio_poll_read(timeout_)) return -1;
                continue;
            }
            return -1;
        }
        sockErr_ = 0;
        if (direct || n == 0) return static_cast<std::int32_t>(n);
        rpos_ = 0;
        rend_ = static_cast<std::size_t>(n);
        std::size_t take = std::min(count, rend_);
        std::memcpy(buffer, rbuf_.get(), take);
        rpos_ = take;
        return static_cast<std::int32_t>(take);
    }
}

std::int32_t TMysqlVio::vio_write(const void* data, std::size_t count) {
    if (type_ == VIO_CLOSED) return -1;
    const std::size_t len = std::min<std::size_t>(count, 0x7FFFFFFF);
    if (tls_) return tlsWrite(data, len);
    const int fd = type_ == VIO_TYPE_TCPIP ? sd_ : hPipe_;
    // A TCP/IP write waits for room within the timeout, like a read waits for data: a
    // server that stops reading must not hold the client forever. The send itself never
    // blocks then; it takes what fits and the caller sends the rest.
    const bool timed = type_ == VIO_TYPE_TCPIP && !noTimeOut_ && timeout_ != 0;
    for (;;) {
        ssize_t n = ::send(fd, data, len, MSG_NOSIGNAL | (timed ? MSG_DONTWAIT : 0));
        sockErr_ = n < 0 ? errno : 0;
        if (n >= 0) return static_cast<std::int32_t>(n);
        if (!timed || (sockErr_ != EAGAIN && sockErr_ != EWOULDBLOCK)) return -1;
        if (!pollSocket(POLLOUT, timeout_)) return -1;
    }
}

bool TMysqlVio::pollSocket(short events, std::uint32_t seconds) {
    pollfd p{sd_, events, 0};
    const long long ms = static_cast<long long>(seconds) * 1000;
    for (;;) {
        int rc = ::poll(&p, 1, ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms));
        if (rc > 0) return true;  // ready, or closed/failed: the read or write tells which
        if (rc == 0) {
            sockErr_ = ETIMEDOUT;
            return false;
        }
        if (errno == EINTR) continue;
        sockErr_ = errno;
        return false;
    }
}

std::int32_t TMysqlVio::vio_blocking(bool blocking) {
    if (type_ == VIO_CLOSED) return -1;
    if (type_ == VIO_TYPE_NAMEDPIPE) return 0;
    std::uint32_t old = fcntl_;
    if (blocking)
        fcntl_ &= ~1u;
    else
        fcntl_ |= 1u;
    if (old == fcntl_) return 0;
    int flags = ::fcntl(sd_, F_GETFL, 0);
    if (flags < 0) return -1;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(sd_, F_SETFL, flags) < 0 ? -1 : 0;
}

bool TMysqlVio::vio_poll_read(std::uint32_t seconds) {
    if (type_ == VIO_TYPE_NAMEDPIPE) return true;
    if (type_ == VIO_CLOSED) return false;
    if (rpos_ < rend_) return true;
    // Bytes OpenSSL has taken from the socket but not handed out yet.
    if (tls_ && tlsPending()) return true;
    return pollSocket(POLLIN, seconds);
}

bool TMysqlVio::vio_should_retry() const {
    if (type_ == VIO_CLOSED) return false;
    return sockErr_ == EINTR || sockErr_ == EAGAIN || sockErr_ == EWOULDBLOCK || sockErr_ == EINPROGRESS;
}

bool TMysqlVio::vio_intrerupted() const { return sockErr_ == EINTR; }

std::int32_t TMysqlVio::fastsend() {
    int one = 1;
    return ::setsockopt(sd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0 ? 0 : -1;
}

std::int32_t TMysqlVio::keepalive(bool on) {
    int v = on ? 1 : 0;
    return ::setsockopt(sd_, SOL_SOCKET, SO_KEEPALIVE, &v, sizeof v);
}

void TMysqlVio::SetNoTimeOut(bool value) {
    if (!value && timeout_ == 0) timeout_ = static_cast<std::uint32_t>(NET_READ_TIMEOUT);
    noTimeOut_ = value;
    if (value && type_ == VIO_TYPE_TCPIP) vio_blocking(true);
}

}  // namespace velmysql
