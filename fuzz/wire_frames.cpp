// The packet channel reading fuzzed bytes, plain and as compressed frames.

#include <cstddef>
#include <cstdint>

#include "velmysql/wire/mysql_net.h"
#include "wire_pipe.h"

using namespace velmysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::FakePipe pipe;
    if (size < 1 || size > 200000) return 0;
    std::thread server = pipe.serve(data + 1, size - 1);
    {
        TMysqlNet net;
        if (net.net_open(VIO_TYPE_NAMEDPIPE, "", "", 0, 1, false) == 0) {
            net.setcompress(data[0] & 1);
            for (int i = 0; i < 1000; ++i) {
                std::int32_t len = net.net_safe_read();
                if (len < 0) {
                    if (!net.GetNetConnected()) break;
                    continue;  // a server error packet keeps the channel
                }
                if (net.read_pos()[len] != 0) __builtin_trap();
                if (i % 7 == 0) net.net_pack();
            }
        }
    }
    server.join();
    return 0;
}
