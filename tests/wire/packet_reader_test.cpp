// Length-coded numbers in both reading forms, including prefixes cut short.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "velmysql/wire/packet_reader.h"

using namespace velmysql;

TEST(PacketReader, LengthCodedNumbers) {
    const std::string eight("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    struct Case {
        std::string bytes;
        bool ok;
        std::uint64_t v64;
        bool isNull;
        std::int64_t v32;
    } cases[] = {
        {std::string(1, '\0'), true, 0, false, 0},
        {"\xFA", true, 250, false, 250},
        {"\xFB", true, ~std::uint64_t(0), true, -1},
        {"\xFC\x01\x02", true, 0x0201, false, 0x0201},
        {"\xFD\x01\x02\x03", true, 0x030201, false, 0x030201},
        {"\xFE" + eight, true, 0x0807060504030201, false, 0x04030201},
        {"\xFF" + eight, true, 0x0807060504030201, false, 0x04030201},
        {"", false, 0, false, 0},
        {"\xFC\x01", false, 0, false, 0},
        {"\xFD\x01\x02", false, 0, false, 0},
        {"\xFE" + eight.substr(0, 7), false, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        PacketReader r64(c.bytes);
        std::uint64_t v64 = 0;
        bool isNull = false;
        ASSERT_EQ(r64.lengthCoded64(v64, isNull), c.ok);
        PacketReader r32(c.bytes);
        std::int64_t v32 = 0;
        ASSERT_EQ(r32.lengthCoded32(v32), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(v64, c.v64);
        EXPECT_EQ(isNull, c.isNull);
        EXPECT_EQ(v32, c.v32);
        EXPECT_EQ(r64.left(), 0u);
        EXPECT_EQ(r32.left(), 0u);
    }
}
