#pragma once
// The packet channel over one transport: framing and sequence numbers, the packet
// buffer, server error packets, and zlib-compressed frames once negotiated.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "velmysql/wire/mysql_vio.h"

namespace velmysql {

class TMysqlNet {
public:
    TMysqlNet();
    ~TMysqlNet();
    TMysqlNet(const TMysqlNet&) = delete;
    TMysqlNet& operator=(const TMysqlNet&) = delete;

    std::int32_t net_open(TEnumVioType type, const std::string& host, const std::string& pipeName,
                          std::int32_t port, std::uint32_t timeout, bool trySocket);
    std::int32_t net_close();
    void net_clear();
    int my_net_write(const void* payload, std::size_t length);
    int net_write_command(std::uint8_t command, const void* argument, std::size_t length);
    int net_write_buff(const void* bytes, std::size_t count);
    int net_flush();
    int net_real_write(const void* bytes, std::size_t count);
    // One physical packet or frame; uncompressedLength is the frame's announced size.
    std::int32_t my_real_read(std::uint32_t& uncompressedLength);
    std::int32_t my_net_read();
    // my_net_read, then a lost connection or server error packet becomes the error.
    std::int32_t net_safe_read();
    // net_safe_read for a reader that is done with the payload before the next read (a
    // row being copied out): an uncompressed packet that has already arrived whole is
    // handed out where the transport received it, without the copy into the packet
    // buffer. The view has no terminator and is valid until the next read.
    std::int32_t net_safe_read_view(std::string_view& payload);
    bool net_realloc(std::size_t size);
    // Hands the packet buffer, holding the payload last read at read_pos(), to the caller
    // and takes the caller's block (malloc'ed, may be null) as the new packet buffer.
    // Only for an uncompressed payload read into the buffer (not a view); false, and
    // nothing exchanged, otherwise.
    bool exchange_buffer(unsigned char*& block, std::size_t& blockCapacity);
    bool net_pack();

    // A packet that does not parse: reported like a lost connection, transport closed.
    void net_malformed();

    bool GetNetConnected() const { return vio_.GetVioType() != VIO_CLOSED; }
    TEnumVioType GetVioType() const { return vio_.GetVioType(); }
    bool GetNoTimeOut() const { return vio_.GetNoTimeOut(); }
    void SetNoTimeOut(bool v) { vio_.SetNoTimeOut(v); }
    const std::string& Getlast_error() const { return vio_.Getlast_error(); }
    void Setlast_error(const std::string& t) { vio_.Setlast_error(t); }
    std::int32_t Getlast_errorno() const { return vio_.last_errno; }
    void Setlast_errorno(std::int32_t n) { vio_.last_errno = n; }
    void setcompress(bool on) { compress_ = on; }
    bool GetCompress() const { return compress_; }

    // The payload of the packet last read: valid until the next read; the byte after
    // it is 0.
    const unsigned char* read_pos() const { return readPos_; }
    std::string_view payload(std::int32_t length) const {
        return std::string_view(reinterpret_cast<const char*>(readPos_), static_cast<std::size_t>(length));
    }
    // Length of the packet last read by my_net_read.
    std::int32_t last_length() const { return lastLength_; }
    std::size_t capacity() const { return capacity_; }
    std::uint8_t sequence() const { return pktNr_; }
    TMysqlVio& vio() { return vio_; }
    const TMysqlVio& vio() const { return vio_; }

    std::int32_t protocol_version = 10;

    // The largest payload sent or accepted; a longer one is refused with 1153 (an
    // incoming one then reads as 2020).
    std::size_t GetMaxAllowedPacket() const { return maxAllowedPacket_; }
    void SetMaxAllowedPacket(std::size_t bytes) { maxAllowedPacket_ = bytes; }

private:
    bool readFully(unsigned char* to, std::size_t count, int& retries);
    std::int32_t readCompressedPacket();
    std::int32_t readInnerPacket();
    void writeHeader(unsigned char* header, std::size_t length);
    int writeContinuation(const unsigned char* p, std::size_t n);

    TMysqlVio vio_;
    bool compress_ = false;
    std::uint8_t ioState_ = 0;
    struct FreeDeleter {
        void operator()(unsigned char* p) const;
    };
    std::unique_ptr<unsigned char, FreeDeleter> buff_;
    std::uint8_t pktNr_ = 0;
    std::size_t capacity_ = 0;
    std::size_t writePos_ = 0;  // offset of the end of the collected outgoing bytes
    unsigned char* readPos_ = nullptr;
    std::int32_t lastLength_ = 0;
    std::size_t unpackedLength_ = 0;
    std::size_t readOffset_ = 0;
    std::size_t remaining_ = 0;
    unsigned char savedByte_ = 0;
    std::vector<unsigned char> frame_;  // compressed bytes of the frame being read or sent
    std::vector<unsigned char> joined_;  // compressed reading: a payload joined from a run of packets
    std::size_t maxAllowedPacket_ = MAX_ALLOWED_PACKET;
};

}  // namespace velmysql
