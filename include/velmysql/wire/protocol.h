#pragma once
// Pure readers of the server's packets: bytes in, values out, no I/O and no session
// state. Each answers nothing (or false) for a packet too short for what it must hold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmysql {

struct Greeting {
    int protocolVersion = 0;
    std::string serverVersion;
    std::uint32_t threadId = 0;
    std::string scramble;              // 8 characters, or up to 20 with the second part
    bool hasCapabilities = false;
    std::uint32_t serverCapabilities = 0;
    bool hasStatus = false;            // language and status were present
    std::uint32_t serverLanguage = 0;
    std::uint32_t serverStatus = 0;
    bool hasSecondScramble = false;
    // 4.1 servers: the upper half of the capability word (in serverCapabilities) and,
    // with CLIENT_PLUGIN_AUTH, the login method whose answer the server expects first.
    std::string authPlugin;
};

// The protocol version alone (first byte); absent for an empty packet.
std::optional<int> GreetingProtocol(std::string_view payload);
// The whole greeting; absent when the packet is too short for the version text, the
// connection id and the first scramble part.
std::optional<Greeting> ParseGreeting(std::string_view payload);

struct ServerError {
    int number = 0;
    std::string message;  // at most 199 characters
};
// An error packet (first byte 255). Protocol versions above 9 carry a 2-byte number.
ServerError ParseErrorPacket(std::string_view payload, int protocolVersion);

struct OkPacket {
    std::uint64_t affectedRows = 0;
    std::uint64_t insertId = 0;
    bool hasStatus = false;
    std::uint32_t serverStatus = 0;
    std::string info;
};
// An OK packet (field count 0). withStatus: the server sends its status word (bit 8192);
// protocol41: a 2-byte warning count follows the status and the message comes after it.
std::optional<OkPacket> ParseOkPacket(std::string_view payload, bool withStatus, bool protocol41);

// A request to answer with another method (254, the method's name, its salt); absent
// when the name has no end.
struct AuthSwitch {
    std::string method;
    std::string salt;  // without a trailing 0
    std::string data;  // as sent: a binary nonce may end in a 0 byte of its own
};
std::optional<AuthSwitch> ParseAuthSwitch(std::string_view payload);

// The end-of-data packet: first byte 254 and fewer than 8 bytes.
inline bool IsEndOfData(std::string_view payload) {
    return !payload.empty() && static_cast<unsigned char>(payload[0]) == 254 && payload.size() < 8;
}

// Compressed frame header: the 7 bytes before a frame's payload.
struct FrameHeader {
    std::uint32_t length = 0;
    std::uint8_t sequence = 0;
    std::uint32_t uncompressedLength = 0;
};
FrameHeader ParseFrameHeader(const unsigned char header[7]);

// One row of n length-coded values. Calls sink(index, data, length, isNull) for each;
// false when a value runs past the packet or the packet has fewer than n values.
template <typename Sink>
bool ParseRow(std::string_view payload, unsigned columns, Sink&& sink);

}  // namespace velmysql

#include "velmysql/wire/packet_reader.h"

namespace velmysql {

template <typename Sink>
bool ParseRow(std::string_view payload, unsigned columns, Sink&& sink) {
    PacketReader r(payload);
    for (unsigned i = 0; i < columns; ++i) {
        const unsigned char* data;
        std::size_t length;
        bool isNull;
        if (!r.value(data, length, isNull)) return false;
        sink(i, data, length, isNull);
    }
    return true;
}

}  // namespace velmysql
