#include "velmysql/wire/mysql_net.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/protocol.h"

namespace velmysql {

namespace {
constexpr std::size_t kMinCompress = 50;
// Largest block sent straight from a caller's bytes as one compressed frame.
constexpr std::size_t kDirectCompressed = std::size_t(1) << 20;

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
    std::vector<unsigned char>().swap(joined_);
    return r;
}

void TMysqlNet::net_clear() {
    pktNr_ = 0;
    writePos_ = 0;
}

// The header of one physical packet of a logical one; inside compressed frames the
// sequence byte is 0.
void TMysqlNet::writeHeader(unsigned char* header, std::size_t length) {
    put3(header, length);
    header[3] = compress_ ? 0 : pktNr_++;
}

// The rest of a logical packet after what its first physical packet carried: full
// packets while at least 0xFFFFFF bytes are left, then a shorter one, which is empty
// when the payload ends exactly on a packet boundary.
int TMysqlNet::writeContinuation(const unsigned char* p, std::size_t n) {
    unsigned char header[4];
    while (n >= MAX_PACKET_LENGTH) {
        writeHeader(header, MAX_PACKET_LENGTH);
        if (net_write_buff(header, 4) != 0 || net_write_buff(p, MAX_PACKET_LENGTH) != 0) return 1;
        p += MAX_PACKET_LENGTH;
        n -= MAX_PACKET_LENGTH;
    }
    writeHeader(header, n);
    return net_write_buff(header, 4) != 0 || net_write_buff(p, n) != 0 ? 1 : 0;
}

int TMysqlNet::my_net_write(const void* payload, std::size_t n) {
    if (n > maxAllowedPacket_) {
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return 1;
    }
    return writeContinuation(static_cast<const unsigned char*>(payload), n);
}

int TMysqlNet::net_write_command(std::uint8_t command, const void* argument, std::size_t n) {
    if (n >= maxAllowedPacket_) {
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return 1;
    }
    auto p = static_cast<const unsigned char*>(argument);
    // The command byte and as much of the argument as fits make the first packet.
    const std::size_t first = std::min<std::size_t>(n, MAX_PACKET_LENGTH - 1);
    unsigned char header[5];
    writeHeader(header, first + 1);
    header[4] = command;
    if (net_write_buff(header, 5) != 0 || net_write_buff(p, first) != 0) return 1;
    if (first + 1 == MAX_PACKET_LENGTH && writeContinuation(p + first, n - first) != 0) return 1;
    return net_flush() != 0 ? 1 : 0;
}

int TMysqlNet::net_write_buff(const void* bytes, std::size_t n) {
    if (!buff_) return 1;
    auto p = static_cast<const unsigned char*>(bytes);
    if (n > capacity_ - writePos_) {
        // Fill and send what is collected; then more than a buffer's worth goes out
        // straight from the caller's bytes instead of piecewise through the buffer.
        if (writePos_ != 0) {
            const std::size_t room = capacity_ - writePos_;
            std::memcpy(buff_.get() + writePos_, p, room);
            p += room;
            n -= room;
            if (net_real_write(buff_.get(), capacity_) != 0) return 1;
            writePos_ = 0;
        }
        while (n > capacity_) {
            // Each block sent becomes one compressed frame: keep those moderate.
            const std::size_t chunk = compress_ ? std::min(n, kDirectCompressed) : n;
            if (net_real_write(p, chunk) != 0) return 1;
            p += chunk;
            n -= chunk;
        }
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
    if (!compress_ && readOffset_ + len > maxAllowedPacket_) {
        // The packet joined so far would pass the size this session accepts.
        vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
        return -1;
    }
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
        // A packet of 0xFFFFFF bytes is continued by the next: the run is joined in the
        // buffer, each piece read right behind the previous one.
        std::size_t total = 0;
        for (;;) {
            readOffset_ = total;
            std::uint32_t u;
            const std::int32_t len = my_real_read(u);
            readOffset_ = 0;
            if (len < 0) return lastLength_ = -1;
            total += static_cast<std::size_t>(len);
            if (static_cast<std::uint32_t>(len) < MAX_PACKET_LENGTH) break;
        }
        readPos_ = buff_.get();
        readPos_[total] = 0;
        return lastLength_ = static_cast<std::int32_t>(total);
    }
    return lastLength_ = readCompressedPacket();
}

// Compressed reading: the packets inside the frames, with a run of 0xFFFFFF-byte
// packets joined into one payload apart from the frame buffer (the pieces may lie in
// different frames).
std::int32_t TMysqlNet::readCompressedPacket() {
    std::int32_t len = readInnerPacket();
    if (len < 0 || static_cast<std::uint32_t>(len) < MAX_PACKET_LENGTH) {
        joined_.clear();
        return len;
    }
    std::size_t total = 0;
    for (;;) {
        if (total + static_cast<std::size_t>(len) > maxAllowedPacket_) {
            vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
            std::vector<unsigned char>().swap(joined_);
            return -1;
        }
        if (joined_.size() < total + static_cast<std::size_t>(len) + 1)
            joined_.resize(total + static_cast<std::size_t>(len) + 1);
        std::memcpy(joined_.data() + total, readPos_, static_cast<std::size_t>(len));
        total += static_cast<std::size_t>(len);
        if (static_cast<std::uint32_t>(len) < MAX_PACKET_LENGTH) break;
        len = readInnerPacket();
        if (len < 0) {
            std::vector<unsigned char>().swap(joined_);
            return -1;
        }
    }
    // The last piece's terminator is taken back at once: the frame buffer stays as it
    // was received for the packets after this one.
    buff_.get()[unpackedLength_ - remaining_] = savedByte_;
    joined_[total] = 0;
    readPos_ = joined_.data();
    return static_cast<std::int32_t>(total);
}

std::int32_t TMysqlNet::readInnerPacket() {
    if (!buff_) return -1;
    if (remaining_ != 0) buff_.get()[unpackedLength_ - remaining_] = savedByte_;
    for (;;) {
        if (remaining_ >= 4) {
            const unsigned char* h = buff_.get() + (unpackedLength_ - remaining_);
            std::size_t l = h[0] | (std::size_t(h[1]) << 8) | (std::size_t(h[2]) << 16);
            if (l > maxAllowedPacket_) {
                vio_.last_errno = ER_NET_PACKET_TOO_LARGE;
                return -1;
            }
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
            if (h[3] == pktNr_ && len > 0 && len < MAX_PACKET_LENGTH && vio_.peek(4 + len) != nullptr &&
                h[4] != 255) {
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
    std::size_t rounded = (size + 4095) / 4096 * 4096;
    auto p = static_cast<unsigned char*>(std::realloc(buff_.get(), rounded));
    if (p == nullptr) {
        vio_.last_errno = CR_OUT_OF_MEMORY;
        return false;
    }
    (void)buff_.release();
    buff_.reset(p);
    capacity_ = rounded;
    writePos_ = 0;
    readPos_ = buff_.get();
    return true;
}

bool TMysqlNet::exchange_buffer(unsigned char*& block, std::size_t& blockCapacity) {
    if (compress_ || !buff_ || readPos_ != buff_.get() || ioState_ != 0) return false;
    unsigned char* mine = buff_.release();
    const std::size_t mineCapacity = capacity_;
    if (block == nullptr || blockCapacity < static_cast<std::size_t>(NET_BUFFER_LENGTH)) {
        unsigned char* fresh = static_cast<unsigned char*>(std::realloc(block, NET_BUFFER_LENGTH));
        if (fresh == nullptr) {
            buff_.reset(mine);
            return false;
        }
        block = fresh;
        blockCapacity = NET_BUFFER_LENGTH;
    }
    buff_.reset(block);
    capacity_ = blockCapacity;
    writePos_ = 0;
    readPos_ = buff_.get();
    block = mine;
    blockCapacity = mineCapacity;
    return true;
}

bool TMysqlNet::net_pack() {
    if (ioState_ == 0 && joined_.capacity() > (std::size_t(1) << 20)) std::vector<unsigned char>().swap(joined_);
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
