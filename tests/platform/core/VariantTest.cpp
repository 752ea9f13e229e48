#include <gtest/gtest.h>

#include "sw/core/Error.h"
#include "sw/core/Variant.h"

using namespace sw;

TEST(Variant, KindsAndConversions) {
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_EQ(Variant::Null().ToString(), "");
  EXPECT_THROW(Variant::Null().ToInt64(), Error);
  EXPECT_EQ(Variant().ToInt64(), 0);
  EXPECT_EQ(Variant(std::int16_t{-3}).Type(), VarType::Int16);
  EXPECT_EQ(Variant(std::int64_t{1} << 40).ToString(), "1099511627776");
  EXPECT_EQ(Variant("12").ToInt32(), 12);
  EXPECT_EQ(Variant(" 2.5 ").ToDouble(), 2.5);
  EXPECT_THROW(Variant("abc").ToDouble(), Error);
  EXPECT_EQ(Variant(2.5).ToInt64(), 2);  // half to even
  EXPECT_EQ(Variant(3.5).ToInt64(), 4);
  EXPECT_THROW(Variant(std::int64_t{1} << 40).ToInt32(), Error);
  EXPECT_TRUE(Variant("True").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant::Date(EncodeDate(2010, 2, 5)).ToString(), "2010-02-05");
  EXPECT_EQ(Variant("2010-02-05").ToDateTime(), EncodeDate(2010, 2, 5));
}

TEST(Variant, CurrencyKeepsFourDecimals) {
  Currency c = Currency::FromDouble(12.34567);
  EXPECT_EQ(c.scaled, 123457);
  EXPECT_EQ(c.ToString(), "12.3457");
  EXPECT_EQ(Currency::FromUnits(-3).ToString(), "-3");
  EXPECT_EQ(Variant(Currency{5}).ToString(), "0.0005");
  EXPECT_EQ(Variant(7.25).ToCurrency().scaled, 72500);
}

TEST(Variant, ArraysHaveBounds) {
  Variant a = Variant::Array({Variant("x"), Variant(std::int32_t{2})}, 1);
  EXPECT_EQ(a.AsArray().High(), 2);
  EXPECT_EQ(a.AsArray().At(2).ToInt32(), 2);
  EXPECT_THROW(a.AsArray().At(0), Error);
  EXPECT_THROW(a.ToString(), Error);
  Variant b = Variant::Bytes(std::string("\x01\x02", 2));
  EXPECT_EQ(b.AsBytes().High(), 1);
  EXPECT_EQ(b.BytesAsString(), std::string("\x01\x02", 2));
  EXPECT_EQ(a, Variant::Array({Variant("x"), Variant(std::int32_t{2})}, 1));
  EXPECT_FALSE(a == Variant::Array({Variant("x"), Variant(std::int32_t{2})}, 0));
}
