// The greeting and the login replies: error packets, the old-token request, the
// request for another method.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "velmysql/wire/protocol.h"

using namespace velmysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (auto g = ParseGreeting(bytes)) {
        // The parts read must come from the packet.
        if (g->serverVersion.size() + 1 > size || g->scramble.size() > 20) __builtin_trap();
    }
    GreetingProtocol(bytes);
    if (!bytes.empty()) {
        ServerError e9 = ParseErrorPacket(bytes, 9), e10 = ParseErrorPacket(bytes, 10);
        if (e9.message.size() > 199 || e10.message.size() > 199) __builtin_trap();
    }
    if (auto sw = ParseAuthSwitch(bytes)) {
        if (sw->method.size() + sw->salt.size() + 1 > size) __builtin_trap();
    }
    return 0;
}
