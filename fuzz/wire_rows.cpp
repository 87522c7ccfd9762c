// Rows and descriptor blocks: length-coded values into the stored row list and back.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "velmysql/wire/mysql_result.h"
#include "velmysql/wire/protocol.h"

using namespace velmysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned columns = data[0] % 16 + 1;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<const unsigned char*> values(columns);
    std::vector<std::size_t> lengths(columns);
    TMYSQL_DATA list(columns);
    // The input is several rows separated by where each parse ended.
    while (!bytes.empty()) {
        bool ok = ParseRow(bytes, columns, [&](unsigned i, const unsigned char* d, std::size_t n, bool isNull) {
            values[i] = isNull ? nullptr : d;
            lengths[i] = n;
        });
        if (!ok) break;
        TMysqlRowNode* node = list.append(values.data(), lengths.data());
        std::vector<char*> back(columns);
        std::vector<unsigned long> backLen(columns);
        list.values(node, back.data(), backLen.data());
        for (unsigned i = 0; i < columns; ++i) {
            if ((back[i] == nullptr) != (values[i] == nullptr)) __builtin_trap();
            if (back[i] && (backLen[i] != lengths[i] || std::memcmp(back[i], values[i], lengths[i]) != 0 ||
                            back[i][lengths[i]] != 0))
                __builtin_trap();
        }
        std::size_t consumed = 1;
        for (unsigned i = 0; i < columns; ++i)
            if (values[i]) consumed = std::max<std::size_t>(consumed, static_cast<std::size_t>(values[i] - reinterpret_cast<const unsigned char*>(bytes.data())) + lengths[i]);
        bytes.remove_prefix(std::min(consumed, bytes.size()));
    }
    return 0;
}
