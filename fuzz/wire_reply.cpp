// Query replies: OK packets in both forms, end-of-data, result-set headers.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "velmysql/wire/packet_reader.h"
#include "velmysql/wire/protocol.h"

using namespace velmysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool withStatus : {false, true})
        for (bool p41 : {false, true})
            if (auto ok = ParseOkPacket(bytes, withStatus, p41))
                if (ok->info.size() > size) __builtin_trap();
    IsEndOfData(bytes);
    PacketReader r(data, size);
    std::uint64_t count = 0, extra = 0;
    bool isNull = false;
    std::int64_t c32 = 0;
    if (r.lengthCoded64(count, isNull)) r.lengthCoded64(extra, isNull);
    PacketReader r32(data, size);
    while (r32.lengthCoded32(c32)) {
    }
    return 0;
}
