#pragma once
// The byte stream to a server: a TCP/IP socket, or the local server's Unix-domain
// socket standing in for the named pipe. Keeps the number and text of the last
// transport error; never raises.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "velmysql/wire/mysql_ct.h"
#include "velmysql/wire/mysql_tls.h"

namespace velmysql {

// The OpenSSL session of a stream that has started TLS (defined with the TLS code).
struct TlsState;

class TMysqlVio {
public:
    TMysqlVio();
    ~TMysqlVio();
    TMysqlVio(const TMysqlVio&) = delete;
    TMysqlVio& operator=(const TMysqlVio&) = delete;

    // 0 open; -2 secure transport asked for; -6 connect failed; -7 unknown host or no
    // greeting in time; -8 no socket; -9 pipe failed without fallback; -20 already open.
    std::int32_t vio_open(TEnumVioType type, const std::string& host, const std::string& pipeName,
                          std::int32_t port, std::uint32_t timeout, bool trySocket);
    std::int32_t vio_close();
    // Bytes read, 0 when the peer closed, -1 on error or time-out.
    std::int32_t vio_read(void* buffer, std::size_t count);
    // Bytes written or -1.
    std::int32_t vio_write(const void* data, std::size_t count);
    std::int32_t vio_blocking(bool blocking);
    bool vio_poll_read(std::uint32_t seconds);
    bool vio_should_retry() const;
    bool vio_intrerupted() const;
    std::int32_t fastsend();
    std::int32_t keepalive(bool on);
    // Starts TLS as the client on the open stream: from now on every read and write is
    // encrypted. host is the name or address the certificate must name (ssl-mode
    // VERIFY_IDENTITY). False, with OpenSSL's reason in `reason`, when the handshake or the
    // verification fails; the stream is then unusable and should be closed.
    bool vio_start_tls(const TMysqlTlsSettings& settings, const std::string& host, std::string& reason);
    bool IsTls() const { return tls_ != nullptr; }
    // The negotiated cipher and protocol version; empty without TLS.
    std::string TlsCipher() const;
    std::string TlsVersion() const;

    bool GetNoTimeOut() const { return noTimeOut_; }
    void SetNoTimeOut(bool value);
    const std::string& Getlast_error() const { return last_error_; }
    void Setlast_error(const std::string& text);
    TEnumVioType GetVioType() const { return type_; }
    bool IsBlocking() const { return (fcntl_ & 1) == 0; }
    std::uint32_t GetTimeout() const { return timeout_; }

    // Bytes already received and not yet handed out by vio_read.
    std::size_t buffered() const { return rend_ - rpos_; }
    // Hands out count buffered bytes (count <= buffered()).
    void take(void* to, std::size_t count) {
        std::memcpy(to, rbuf_.get() + rpos_, count);
        rpos_ += count;
    }
    // The next count buffered bytes where they were received, or null when fewer are
    // buffered; valid until the next read. skip(count) then consumes them.
    const unsigned char* peek(std::size_t count) const {
        return buffered() >= count ? rbuf_.get() + rpos_ : nullptr;
    }
    void skip(std::size_t count) { rpos_ += count; }

    // The error number; the packet channel reads and writes it directly.
    std::int32_t last_errno = 0;

private:
    bool openPipe();
    std::int32_t openTcp(const std::string& host, std::int32_t port);
    void setError(int number, const std::string& text);
    // Waits until the TCP/IP socket is ready for the events (or failed); false (ETIMEDOUT)
    // after the seconds.
    bool pollSocket(short events, std::uint32_t seconds);
    void closeFd(int& fd);
    int fd() const { return type_ == VIO_TYPE_TCPIP ? sd_ : hPipe_; }
    // TLS reads and writes: bytes, 0 at the end of the stream, -1 on failure or time-out
    // (sockErr_ ETIMEDOUT or EIO). They wait for the socket themselves.
    std::int32_t tlsRead(void* buffer, std::size_t count);
    std::int32_t tlsWrite(const void* data, std::size_t count);
    bool tlsPending() const;
    // Waits for the events within the stream's timeout (for ever without one).
    bool tlsWait(short events);
    struct TlsDeleter {
        void operator()(TlsState* t) const;
    };
    std::unique_ptr<TlsState, TlsDeleter> tls_;

    int sd_ = -1;      // TCP/IP socket; 0 while a pipe is open
    int hPipe_ = -1;   // the local socket standing in for the pipe; 0 while a TCP/IP socket is open
    std::uint32_t fcntl_ = 0;  // bit 0: non-blocking
    TEnumVioType type_ = VIO_CLOSED;
    std::string last_error_;
    std::uint32_t timeout_ = 0;
    bool noTimeOut_ = false;
    int sockErr_ = 0;  // errno of the last socket call

    // Read-ahead: bytes received but not yet handed out.
    std::unique_ptr<unsigned char[]> rbuf_;
    std::size_t rpos_ = 0, rend_ = 0;
};

}  // namespace velmysql
