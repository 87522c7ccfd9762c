#include "velmysql/wire/protocol.h"

#include "velmysql/wire/packet_reader.h"

namespace velmysql {

std::optional<int> GreetingProtocol(std::string_view payload) {
    if (payload.empty()) return std::nullopt;
    return static_cast<unsigned char>(payload[0]);
}

std::optional<Greeting> ParseGreeting(std::string_view payload) {
    PacketReader r(payload);
    Greeting g;
    std::uint8_t proto;
    std::string_view version;
    const unsigned char* scramble1;
    if (!r.u8(proto) || !r.nulTerminated(version) || !r.u32(g.threadId) || !r.bytes(8, scramble1))
        return std::nullopt;
    g.protocolVersion = proto;
    g.serverVersion.assign(version);
    for (int i = 0; i < 8 && scramble1[i] != 0; ++i) g.scramble.push_back(static_cast<char>(scramble1[i]));
    // Filler, then the optional fields, each only when the packet is long enough.
    const std::size_t v = version.size();
    // The capability word ends at V + 17; a packet of V + 16 bytes holds only its
    // first byte, which is not read as a word.
    std::uint16_t caps = 0;
    if (payload.size() >= v + 17 && r.skip(1) && r.u16(caps)) {
        g.hasCapabilities = true;
        g.serverCapabilities = caps;
    }
    if (payload.size() >= v + 33) {
        std::uint8_t lang = 0;
        std::uint16_t status = 0, upper = 0;
        r.u8(lang);
        r.u16(status);
        // Older servers leave these bytes zero: no upper capabilities.
        r.u16(upper);
        r.skip(11);
        g.serverCapabilities |= std::uint32_t(upper) << 16;
        g.hasStatus = true;
        g.serverLanguage = lang;
        g.serverStatus = status;
    }
    if (payload.size() > v + 33) {
        PacketReader second(payload.substr(v + 33));
        std::string_view rest = second.restUpToNul();
        if (rest.size() > 12) rest = rest.substr(0, 12);
        g.scramble.append(rest);
        g.hasSecondScramble = true;
        // The method's name follows the second part and its 0.
        if (g.serverCapabilities & (1u << 19)) {
            std::string_view name = second.restUpToNul();
            g.authPlugin.assign(name.substr(0, 64));
        }
    }
    return g;
}

ServerError ParseErrorPacket(std::string_view payload, int protocolVersion) {
    ServerError e;
    if (payload.size() <= 3) {
        e.number = 2000;
        e.message = "Unknown MySQL error";
        return e;
    }
    PacketReader r(payload);
    r.skip(1);
    if (protocolVersion > 9) {
        std::uint16_t n = 0;
        r.u16(n);
        e.number = n;
    } else {
        e.number = 2000;
    }
    std::string_view msg = payload.substr(payload.size() - r.left());
    e.message.assign(msg.substr(0, 199));
    return e;
}

std::optional<OkPacket> ParseOkPacket(std::string_view payload, bool withStatus, bool protocol41) {
    PacketReader r(payload);
    OkPacket ok;
    bool isNull;
    std::uint64_t fieldCount;
    if (!r.lengthCoded64(fieldCount, isNull) || !r.lengthCoded64(ok.affectedRows, isNull) ||
        !r.lengthCoded64(ok.insertId, isNull))
        return std::nullopt;
    if (withStatus) {
        std::uint16_t status;
        if (!r.u16(status)) return std::nullopt;
        ok.hasStatus = true;
        ok.serverStatus = status;
    }
    if (protocol41) {
        // The warning count precedes the message; an OK packet without it has no message.
        if (r.left() < 2) return ok;
        r.skip(2);
    }
    if (r.left() > 0) {
        std::uint64_t n = 0;
        if (!r.lengthCoded64(n, isNull)) return std::nullopt;
        if (n != 0 && !isNull) {
            std::string_view text = r.restUpToNul();
            if (protocol41 && text.size() > n) text = text.substr(0, static_cast<std::size_t>(n));
            ok.info.assign(text);
        }
    }
    return ok;
}

std::optional<AuthSwitch> ParseAuthSwitch(std::string_view payload) {
    PacketReader r(payload);
    std::string_view method;
    if (!r.skip(1) || !r.nulTerminated(method)) return std::nullopt;
    AuthSwitch a;
    a.method.assign(method);
    a.data.assign(payload.substr(payload.size() - r.left()));
    a.salt = a.data;
    if (!a.salt.empty() && a.salt.back() == '\0') a.salt.pop_back();
    return a;
}

FrameHeader ParseFrameHeader(const unsigned char h[7]) {
    FrameHeader f;
    f.length = h[0] | (std::uint32_t(h[1]) << 8) | (std::uint32_t(h[2]) << 16);
    f.sequence = h[3];
    f.uncompressedLength = h[4] | (std::uint32_t(h[5]) << 8) | (std::uint32_t(h[6]) << 16);
    return f;
}

}  // namespace velmysql
