// Variant kinds, conversions and comparison.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/variant.h"

namespace velmysql {
namespace {

TFormatSettings Dot() { return TFormatSettings{}; }
TFormatSettings Comma() {
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    return fs;
}

TEST(Variant, KindsAndTextForms) {
    struct Case {
        Variant v;
        TVarType type;
        std::string text;
    };
    std::vector<Case> cases = {
        {Variant(), varEmpty, ""},
        {Variant::Null(), varNull, ""},
        {Variant(true), varBoolean, "True"},
        {Variant(int64_t{-9223372036854775807LL - 1}), varInt64, "-9223372036854775808"},
        {Variant(uint64_t{18446744073709551615ULL}), varUInt64, "18446744073709551615"},
        {Variant(2.5), varDouble, "2.5"},
        {Variant(std::string("a\0b", 3)), varString, std::string("a\0b", 3)},
        {Variant::FromDateTime(EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 9, 0)), varDate, "2024-02-29 13:05:09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.v.VarType(), c.type);
        EXPECT_EQ(c.v.ToString(Dot()), c.text);
    }
    EXPECT_EQ(Variant(2.5).ToString(Comma()), "2,5");
    EXPECT_THROW(Variant(std::vector<Variant>{1, "x"}).ToString(), EVariantTypeCastError);
}

TEST(Variant, NumberConversionsAndTheirErrors) {
    EXPECT_EQ(Variant("  42 ").ToInt64(Dot()), 42);
    EXPECT_EQ(Variant("$1F").ToInt64(Dot()), 31);
    EXPECT_EQ(Variant("2.5").ToInt64(Dot()), 2);  // half to even
    EXPECT_EQ(Variant(3.5).ToInt64(), 4);
    EXPECT_EQ(Variant(-2.5).ToInt64(), -2);
    EXPECT_EQ(Variant().ToInt64(), 0);
    EXPECT_EQ(Variant(true).ToInt64(), 1);
    EXPECT_DOUBLE_EQ(Variant("1,25").ToDouble(Comma()), 1.25);
    EXPECT_DOUBLE_EQ(Variant("1.25").ToDouble(Dot()), 1.25);
    EXPECT_DOUBLE_EQ(Variant(uint64_t{1} << 63).ToDouble(), 9223372036854775808.0);

    struct Bad {
        Variant v;
        const char* message;
    };
    for (const Bad& b : std::vector<Bad>{{Variant("abc"), "'abc' is not a valid integer value"},
                                         {Variant(""), "'' is not a valid integer value"},
                                         {Variant("1.25"), nullptr}}) {
        if (!b.message) continue;
        try {
            b.v.ToInt64(Dot());
            ADD_FAILURE() << "no error for " << b.message;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), b.message);
        }
    }
    EXPECT_THROW(Variant("1.25").ToDouble(Comma()), EConvertError);  // the wrong separator
    EXPECT_THROW(Variant("12abc").ToDouble(Dot()), EConvertError);
    EXPECT_THROW(Variant::Null().ToInt64(), EVariantTypeCastError);
    EXPECT_THROW(Variant::Null().ToDouble(), EVariantTypeCastError);
    EXPECT_THROW(Variant::Null().ToBoolean(), EVariantTypeCastError);
    EXPECT_THROW(Variant(uint64_t{1} << 63).ToInt64(), EVariantOverflowError);
    EXPECT_THROW(Variant(1e19).ToInt64(), EVariantOverflowError);
    EXPECT_THROW(Variant(std::string("nan")).ToInt64(Dot()), EConvertError);
}

TEST(Variant, BooleanAndDateConversions) {
    EXPECT_TRUE(Variant("TRUE").ToBoolean());
    EXPECT_FALSE(Variant(" false").ToBoolean());
    EXPECT_TRUE(Variant("2").ToBoolean());
    EXPECT_FALSE(Variant(0.0).ToBoolean());
    EXPECT_THROW(Variant("maybe").ToBoolean(), EConvertError);
    TDateTime d = Variant("2001-02-03 04:05:06").ToDateTime(Dot());
    EXPECT_DOUBLE_EQ(d, EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0));
    EXPECT_THROW(Variant("2001-02-30").ToDateTime(Dot()), EConvertError);
    EXPECT_DOUBLE_EQ(Variant(36526.5).ToDateTime(), 36526.5);
}

TEST(Variant, ComparisonTable) {
    struct Case {
        Variant a, b;
        TVariantRelationship r;
    };
    std::vector<Case> cases = {
        {Variant::Null(), Variant::Null(), vrEqual},
        {Variant::Null(), Variant(0), vrNotEqual},
        {Variant(), Variant::Null(), vrNotEqual},
        {Variant(), Variant(), vrEqual},
        {Variant(), Variant(0), vrEqual},
        {Variant(), Variant(""), vrEqual},
        {Variant(1), Variant(1.0), vrEqual},
        {Variant(1), Variant(2.5), vrLessThan},
        {Variant(int64_t{-1}), Variant(uint64_t{18446744073709551615ULL}), vrLessThan},
        {Variant(uint64_t{9007199254740993ULL}), Variant(int64_t{9007199254740992LL}), vrGreaterThan},  // exact
        {Variant("10"), Variant(9), vrGreaterThan},  // text read as a number
        {Variant("10"), Variant("9"), vrLessThan},   // two texts compare as texts
        {Variant("abc"), Variant(1), vrGreaterThan},  // not a number: as texts
        {Variant(true), Variant(1), vrEqual},
        {Variant(std::vector<Variant>{1, "a"}), Variant(std::vector<Variant>{1.0, "a"}), vrEqual},
        {Variant(std::vector<Variant>{1}), Variant(std::vector<Variant>{2}), vrNotEqual},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(VarCompareValue(cases[i].a, cases[i].b, Dot()), cases[i].r);
    }
    EXPECT_TRUE(Variant(1) == Variant("1"));
    EXPECT_FALSE(Variant(1).SameAs(Variant("1")));
    EXPECT_TRUE(Variant(1) < Variant(2));
}

TEST(Variant, ArraysHoldVariants) {
    Variant a(std::vector<Variant>{Variant::Null(), 2, "x"});
    ASSERT_EQ(a.Items().size(), 3u);
    EXPECT_TRUE(a.Items()[0].IsNull());
    a.Items().push_back(Variant(std::vector<Variant>{1}));
    EXPECT_EQ(a.Items()[3].Items()[0].ToInt64(), 1);
    EXPECT_THROW(Variant(1).Items(), EVariantTypeCastError);
    Variant copy = a;
    EXPECT_TRUE(copy.SameAs(a));
}

}  // namespace
}  // namespace velmysql
