#include "velmysql/wire/mysql_net.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/protocol.h"

namespace velmysql {

namespace {
constexpr std::size_t kMaxBuffer = 0x1000000;  // a buffer reaching this size is refused
constexpr std::size_t kMinCompress = 50;

void put3(unsigned char* p, std::size_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
}
}  // namespace

void TMysqlNet::FreeDeleter::operator()(unsigned char* p) const { std::free(p); }

TMysqlNet::TMysqlNet() = default;
TMysqlNet::~TMysqlNet() = default;

std::int32_t TMysqlNet::net_open(TEnumVioType type, const std::string& host, const std::string& pipeName,
                                 std::int32_t port, std::uint32_t timeout, bool trySocket) {
    if (GetNetConnected()) return 0;
    std::int32_t st = vio_.vio_open(type, host, pipeName, port, timeout, trySocket);
    if (st != 0) return st;
    buff_.reset(static_cast<unsigned char*>(std::malloc(NET_BUFFER_LENGTH)));
    capacity_ = NET_BUFFER_LENGTH;
    writePos_ = 0;
    readPos_ = buff_.get();
    pktNr_ = 0;
    compress_ = false;
    unpackedLength_ = readOffset_ = remaining_ = 0;
    savedByte_ = 0;
    ioState_ = 0;
    protocol_version = PROTOCOL_VERSION;
    return 0;
}

std::int32_t TMysqlNet::net_close() {
    if (!GetNetConnected()) return 0;
    std::int32_t r = vio_.vio_close();
    buff_.reset();
    capacity_ = 0;
    writePos_ = 0;
    readPos_ = nullptr;
    unpackedLength_ = readOffset_ = remaining_ = 0;
    frame_.clear();
    frame_.shrink_to_fit();
    return r;
}

void TMysqlNet::net_clear() {
    pktNr_ = 0;
    writePos_ = 0;
}

int TMysqlNet::my_net_write(const void* payload, std::size_t n) {
    if (n >= MAX_PACKET_LENGTH) {
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return 1;
    }
    unsigned char header[4];
    put3(header, n);
    header[3] = compress_ ? 0 : pktNr_++;
    if (net_write_buff(header, 4) != 0 || net_write_buff(payload, n) != 0) return 1;
    return 0;
}

int TMysqlNet::net_write_command(std::uint8_t command, const void* argument, std::size_t n) {
    if (n >= MAX_PACKET_LENGTH) {
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return 1;
    }
    unsigned char header[5];
    put3(header, n + 1);
    header[3] = compress_ ? 0 : pktNr_++;
    header[4] = command;
    if (net_write_buff(header, 5) != 0 || net_write_buff(argument, n) != 0 || net_flush() != 0) return 1;
    return 0;
}

int TMysqlNet::net_write_buff(const void* bytes, std::size_t n) {
    if (!buff_) return 1;
    auto p = static_cast<const unsigned char*>(bytes);
    while (n > capacity_ - writePos_) {
        std::size_t room = capacity_ - writePos_;
        std::memcpy(buff_.get() + writePos_, p, room);
        p += room;
        n -= room;
        if (net_real_write(buff_.get(), capacity_) != 0) return 1;
        writePos_ = 0;
    }
    if (n > 0) std::memcpy(buff_.get() + writePos_, p, n);
    writePos_ += n;
    return 0;
}

int TMysqlNet::net_flush() {
    int r = 0;
    if (writePos_ > 0 && buff_) r = net_real_write(buff_.get(), writePos_);
    writePos_ = 0;
    return r;
}

int TMysqlNet::net_real_write(const void* bytes, std::size_t n) {
    if (!GetNetConnected()) return -1;
    const bool wasBlocking = vio_.IsBlocking();
    ioState_ = 2;
    auto p = static_cast<const unsigned char*>(bytes);
    std::vector<unsigned char> block;
    if (compress_) {
        // Frame: 3-byte length, sequence, 3-byte uncompressed length (0 = as is).
        std::size_t sendLen = n, uncompressed = 0;
        block.resize(7 + (n >= kMinCompress ? n * 120 / 100 + 12 : n));
        if (n >= kMinCompress) {
            uLongf dest = static_cast<uLongf>(block.size() - 7);
            if (::compress(block.data() + 7, &dest, p, static_cast<uLong>(n)) == Z_OK && dest < n) {
                sendLen = dest;
                uncompressed = n;
            }
        }
        if (uncompressed == 0) std::memcpy(block.data() + 7, p, n);
        put3(block.data(), sendLen);
        block[3] = pktNr_++;
        put3(block.data() + 4, uncompressed);
        p = block.data();
        n = sendLen + 7;
    }
    int retries = 0;
    std::size_t sent = 0;
    while (sent < n) {
        std::int32_t w = vio_.vio_write(p + sent, n - sent);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
            continue;
        }
        if (retries < 2 && !vio_.IsBlocking()) {
            vio_.vio_blocking(true);
            ++retries;
            continue;
        }
        if (retries < 2 && vio_.vio_should_retry()) {
            ++retries;
            continue;
        }
        if (vio_.vio_intrerupted()) continue;
        break;
    }
    if (GetNetConnected()) vio_.vio_blocking(wasBlocking);
    ioState_ = 0;
    return sent == n ? 0 : 1;
}

bool TMysqlNet::readFully(unsigned char* to, std::size_t count, int& retries) {
    if (vio_.buffered() >= count) {  // the common case: already received
        vio_.take(to, count);
        return true;
    }
    std::size_t got = 0;
    while (got < count) {
        std::int32_t r = vio_.vio_read(to + got, count - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && retries < 2 && vio_.vio_should_retry()) {
            ++retries;
            continue;
        }
        if (r < 0 && vio_.vio_intrerupted()) continue;
        return false;
    }
    return true;
}

std::int32_t TMysqlNet::my_real_read(std::uint32_t& uncompressedLength) {
    uncompressedLength = 0;
    if (!GetNetConnected() || !buff_) return -1;
    ioState_ = 1;
    struct Done {
        TMysqlNet& n;
        ~Done() { n.ioState_ = 0; }
    } done{*this};
    int retries = 0;
    const std::size_t headerSize = compress_ ? 7 : 4;
    unsigned char header[7];
    if (!readFully(header, headerSize, retries)) return -1;
    // Packets out of order read as a lost connection.
    if (header[3] != pktNr_) return -1;
    ++pktNr_;
    std::size_t len = header[0] | (std::size_t(header[1]) << 8) | (std::size_t(header[2]) << 16);
    if (compress_) uncompressedLength = ParseFrameHeader(header).uncompressedLength;
    std::size_t needed = std::max<std::size_t>(len, uncompressedLength) + readOffset_;
    if (needed >= capacity_ && !net_realloc(needed + 1)) return -1;
    if (compress_ && uncompressedLength != 0) {
        // A frame that has already arrived whole is inflated where it was received.
        const unsigned char* source = vio_.peek(len);
        if (source != nullptr) {
            vio_.skip(len);
        } else {
            frame_.resize(len);
            if (len > 0 && !readFully(frame_.data(), len, retries)) return -1;
            source = frame_.data();
        }
        uLongf dest = uncompressedLength;
        if (::uncompress(buff_.get() + readOffset_, &dest, source, static_cast<uLong>(len)) != Z_OK ||
            dest != uncompressedLength)
            return -1;  // a frame that does not restore to its announced size
        if (frame_.capacity() > (1u << 20)) std::vector<unsigned char>().swap(frame_);
        return static_cast<std::int32_t>(uncompressedLength);
    }
    if (len > 0 && !readFully(buff_.get() + readOffset_, len, retries)) return -1;
    return static_cast<std::int32_t>(len);
}

std::int32_t TMysqlNet::my_net_read() {
    if (!compress_) {
        std::uint32_t u;
        std::int32_t len = my_real_read(u);
        if (len < 0) return -1;
        readPos_ = buff_.get() + readOffset_;
        readPos_[len] = 0;
        return lastLength_ = len;
    }
    return lastLength_ = readCompressedPacket();
}

std::int32_t TMysqlNet::readCompressedPacket() {
    if (!buff_) return -1;
    if (remaining_ != 0) buff_.get()[unpackedLength_ - remaining_] = savedByte_;
    for (;;) {
        if (remaining_ >= 4) {
            const unsigned char* h = buff_.get() + (unpackedLength_ - remaining_);
            std::size_t l = h[0] | (std::size_t(h[1]) << 8) | (std::size_t(h[2]) << 16);
            if (remaining_ - 4 >= l) {
                readPos_ = const_cast<unsigned char*>(h) + 4;
                remaining_ -= l + 4;
                savedByte_ = readPos_[l];
                readPos_[l] = 0;
                return static_cast<std::int32_t>(l);
            }
        }
        if (remaining_ != 0) {
            std::size_t start = unpackedLength_ - remaining_;
            if (start != 0) std::memmove(buff_.get(), buff_.get() + start, remaining_);
        }
        unpackedLength_ = readOffset_ = remaining_;
        std::uint32_t u;
        std::int32_t len = my_real_read(u);
        if (len < 0) {
            // The partial packet is lost with the connection.
            unpackedLength_ = readOffset_ = remaining_ = 0;
            return -1;
        }
        unpackedLength_ += static_cast<std::size_t>(len);
        remaining_ += static_cast<std::size_t>(len);
        readOffset_ = 0;
        // The terminator of the next packet handed out may fall just past the data.
        if (unpackedLength_ >= capacity_ && !net_realloc(unpackedLength_ + 1)) return -1;
    }
}

std::int32_t TMysqlNet::net_safe_read_view(std::string_view& out) {
    if (!compress_ && buff_ && GetNetConnected()) {
        if (const unsigned char* h = vio_.peek(4)) {
            const std::size_t len = h[0] | (std::size_t(h[1]) << 8) | (std::size_t(h[2]) << 16);
            // Out-of-order packets, empty ones and error packets take the common path,
            // which reports them.
            if (h[3] == pktNr_ && len > 0 && vio_.peek(4 + len) != nullptr && h[4] != 255) {
                ++pktNr_;
                vio_.skip(4 + len);
                out = std::string_view(reinterpret_cast<const char*>(h + 4), len);
                return static_cast<std::int32_t>(len);
            }
        }
    }
    const std::int32_t len = net_safe_read();
    if (len >= 0) out = payload(len);
    return len;
}

void TMysqlNet::net_malformed() {
    vio_.vio_close();
    vio_.last_errno = CR_SERVER_LOST;
    vio_.Setlast_error(ClientErrorText(CR_SERVER_LOST));
}

std::int32_t TMysqlNet::net_safe_read() {
    std::int32_t len = GetNetConnected() ? my_net_read() : -1;
    if (len <= 0) {
        vio_.vio_close();
        int code = vio_.last_errno == ER_NET_PACKET_TOO_LARGE ? CR_NET_PACKET_TOO_LARGE : CR_SERVER_LOST;
        vio_.last_errno = code;
        vio_.Setlast_error(ClientErrorText(code));
        return -1;
    }
    if (readPos_[0] == 255) {
        ServerError e = ParseErrorPacket(payload(len), protocol_version);
        vio_.last_errno = e.number;
        vio_.Setlast_error(e.message);
        return -1;
    }
    return len;
}

bool TMysqlNet::net_realloc(std::size_t size) {
    if (size >= kMaxBuffer) {
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return false;
    }
    std::size_t rounded = (size + 4095) / 4096 * 4096;
    auto p = static_cast<unsigned char*>(std::realloc(buff_.get(), rounded));
    if (p == nullptr) return false;
    (void)buff_.release();
    buff_.reset(p);
    capacity_ = rounded;
    writePos_ = 0;
    readPos_ = buff_.get();
    return true;
}

bool TMysqlNet::net_pack() {
    if (ioState_ != 0 || capacity_ <= static_cast<std::size_t>(NET_BUFFER_LENGTH)) return true;
    // Received data still pending in a compressed buffer keeps the buffer as it is.
    if (remaining_ != 0) return true;
    auto p = static_cast<unsigned char*>(std::realloc(buff_.get(), NET_BUFFER_LENGTH));
    if (p == nullptr) return false;
    (void)buff_.release();
    buff_.reset(p);
    capacity_ = NET_BUFFER_LENGTH;
    writePos_ = 0;
    readPos_ = buff_.get();
    unpackedLength_ = readOffset_ = 0;
    return true;
}

}  // namespace velmysql
