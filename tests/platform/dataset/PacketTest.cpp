// Data and delta packets: round trips of every field kind with nulls, the writer's errors, and refusal of
// malformed packets (truncations, byte flips, bad headers, absurd counts).
#include <gtest/gtest.h>

#include <random>

#include "sw/core/Error.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

struct KindCase {
  TFieldType type;
  Variant value;
  Variant expected;  // what reading back gives
};

TEST(PacketTest, EveryFieldKindRoundTripsWithNulls) {
  const TDateTime when = EncodeDateTime(2024, 5, 1, 12, 30, 45, 120);
  const KindCase cases[] = {
      {TFieldType::ftString, Variant("张三 O'Hara"), Variant("张三 O'Hara")},
      {TFieldType::ftWideString, Variant("宽"), Variant("宽")},
      {TFieldType::ftSmallint, Variant(std::int32_t{-32768}), Variant(std::int16_t{-32768})},
      {TFieldType::ftInteger, Variant(std::int32_t{2147483647}), Variant(std::int32_t{2147483647})},
      {TFieldType::ftWord, Variant(std::int32_t{65535}), Variant(std::int32_t{65535})},
      {TFieldType::ftLargeint, Variant(std::int64_t{-9000000000000000000}),
       Variant(std::int64_t{-9000000000000000000})},
      {TFieldType::ftFloat, Variant(0.1), Variant(0.1)},
      {TFieldType::ftCurrency, Variant(Currency{-123456789}), Variant(Currency{-123456789})},
      {TFieldType::ftBCD, Variant(Currency{50000}), Variant(Currency{50000})},
      {TFieldType::ftBoolean, Variant(true), Variant(true)},
      {TFieldType::ftDate, Variant::Date(when), Variant::Date(EncodeDate(2024, 5, 1))},
      {TFieldType::ftTime, Variant::Date(when), Variant::Date(EncodeTime(12, 30, 45, 120))},
      {TFieldType::ftDateTime, Variant::Date(when), Variant::Date(when)},
      {TFieldType::ftBlob, Variant::Bytes(std::string_view("\0\x01\xff", 3)),
       Variant::Bytes(std::string_view("\0\x01\xff", 3))},
      {TFieldType::ftMemo, Variant("多行\r\n文本"), Variant("多行\r\n文本")},
      {TFieldType::ftFmtMemo, Variant("{\\rtf}"), Variant("{\\rtf}")},
      {TFieldType::ftGraphic, Variant::Bytes(std::string_view("GIF")),
       Variant::Bytes(std::string_view("GIF"))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FieldTypeName(c.type));
    PacketWriter w;
    w.AddField("V", c.type, 20, true);
    w.Add(c.value);
    w.EndRow();
    w.AddNull();
    w.EndRow();
    w.Add(c.value);
    w.EndRow();
    PacketReader r(w.FinishVariant());
    ASSERT_EQ(r.RowCount(), 3u);
    EXPECT_EQ(r.Fields()[0].DataType, c.type);
    EXPECT_EQ(r.Fields()[0].Size, 20);
    EXPECT_TRUE(r.Fields()[0].Required);
    EXPECT_EQ(r.Value(0, 0), c.expected);
    EXPECT_TRUE(r.IsNull(1, 0));
    EXPECT_EQ(r.Value(2, 0), c.expected);
  }
}

TEST(PacketTest, IntegerEncodingsKeepExactValues) {
  // Sequences that the writer packs as differences, as multiples of a power of ten, or plainly.
  const std::vector<std::int64_t> sequences[] = {
      {1, 2, 3, 4, 5, 100000}, {10000, 20000, -30000, 0, 90000}, {INT64_MIN, INT64_MAX, 0, -1, 1}, {7}, {},
  };
  for (const auto& seq : sequences) {
    PacketWriter w;
    w.AddField("N", TFieldType::ftLargeint);
    w.AddField("C", TFieldType::ftCurrency);
    w.AddField("T", TFieldType::ftDateTime);
    for (std::int64_t v : seq) {
      w.AddInt(v);
      w.AddCurrency(Currency{v / 4});
      w.AddDateTime(static_cast<double>(v % 100000) + 0.25);
      w.EndRow();
    }
    PacketReader r(w.Finish());
    ASSERT_EQ(r.RowCount(), seq.size());
    for (std::size_t i = 0; i < seq.size(); ++i) {
      EXPECT_EQ(r.Value(i, 0), Variant(seq[i]));
      EXPECT_EQ(r.Value(i, 1), Variant(Currency{seq[i] / 4}));
      EXPECT_EQ(r.Value(i, 2), Variant::Date(static_cast<double>(seq[i] % 100000) + 0.25));
    }
  }
}

TEST(PacketTest, WriterRefusesMisuse) {
  PacketWriter w;
  w.AddField("ID", TFieldType::ftSmallint);
  w.AddField("Name", TFieldType::ftString, 10);
  EXPECT_THROW(w.AddField("id", TFieldType::ftInteger), Error);  // duplicate without regard to case
  EXPECT_THROW(w.AddInt(40000), Error);                          // out of range for a small integer
  w.AddInt(1);
  EXPECT_THROW(w.EndRow(), Error);  // row not complete
  EXPECT_THROW(w.Finish(), Error);  // inside a row
  w.AddText("a");
  EXPECT_THROW(w.AddText("b"), Error);  // more values than fields
  w.EndRow();
  EXPECT_THROW(w.AddField("Late", TFieldType::ftInteger), Error);
  EXPECT_EQ(w.RowCount(), 1u);
  EXPECT_THROW(PacketWriter({{std::string(2000, 'x'), TFieldType::ftInteger}}), Error);
  TClientDataSet ds;
  ds.AddFieldDef(std::string(2000, 'x'), TFieldType::ftInteger);
  EXPECT_THROW(ds.CreateDataSet(), Error);  // a data set never holds what a packet cannot carry
  PacketWriter unknown;
  EXPECT_THROW(unknown.AddField("X", TFieldType::ftUnknown), Error);

  // A refused value leaves the row as it was, so the next value takes its place; no field joins a started
  // row.
  PacketWriter m(
      {{"A", TFieldType::ftInteger}, {"B", TFieldType::ftString, 5}, {"C", TFieldType::ftSmallint}});
  m.AddInt(7);
  EXPECT_THROW(m.AddField("D", TFieldType::ftInteger), Error);
  m.AddText("x");
  EXPECT_THROW(m.AddInt(70000), Error);
  m.AddNull();
  m.EndRow();
  EXPECT_THROW(m.AddText("not a number"), Error);
  m.AddInt(8);
  m.AddNull();
  m.AddInt(-3);
  m.EndRow();
  // Handed over a column at a time, the packet is the same bytes.
  PacketWriter same(m.Fields());
  same.AddInt(7);
  same.AddText("x");
  same.AddNull();
  same.EndRow();
  same.AddInt(8);
  same.AddNull();
  same.AddInt(-3);
  same.EndRow();
  std::vector<std::uint8_t> joined;
  std::size_t pieces = 0;
  same.FinishTo([&](std::span<const std::uint8_t> p) {
    joined.insert(joined.end(), p.begin(), p.end());
    ++pieces;
  });
  EXPECT_EQ(pieces, 4u);  // the header, then one per field
  const std::vector<std::uint8_t> whole = m.Finish();
  EXPECT_EQ(joined, whole);
  PacketReader r(whole);
  ASSERT_EQ(r.RowCount(), 2u);
  EXPECT_EQ(r.Value(0, 0), Variant(std::int32_t{7}));
  EXPECT_EQ(r.Value(0, 1), Variant("x"));
  EXPECT_TRUE(r.IsNull(0, 2));
  EXPECT_EQ(r.Value(1, 0), Variant(std::int32_t{8}));
  EXPECT_TRUE(r.IsNull(1, 1));
  EXPECT_EQ(r.Value(1, 2), Variant(std::int16_t{-3}));
}

TEST(PacketTest, DeltaCarriesKindsOriginalAndNewValues) {
  std::vector<TFieldDef> defs{{"ID", TFieldType::ftInteger}, {"Name", TFieldType::ftString, 20}};
  DeltaWriter w(defs);
  std::vector<Variant> a{Variant(std::int32_t{1}), Variant("old")},
      b{Variant(std::int32_t{1}), Variant("new")};
  w.AddChange(TUpdateKind::ukModify, a, b);
  w.AddChange(TUpdateKind::ukInsert, {}, b);
  w.AddChange(TUpdateKind::ukDelete, a, {});
  EXPECT_THROW(w.AddChange(TUpdateKind::ukModify, a, {}), Error);
  DeltaReader r(w.FinishVariant());
  ASSERT_EQ(r.Count(), 3u);
  EXPECT_EQ(r.Kind(0), TUpdateKind::ukModify);
  EXPECT_EQ(r.OldValue(0, 1), Variant("old"));
  EXPECT_EQ(r.NewValue(0, 1), Variant("new"));
  EXPECT_FALSE(r.Changed(0, 0));
  EXPECT_TRUE(r.Changed(0, 1));
  EXPECT_EQ(r.Kind(1), TUpdateKind::ukInsert);
  EXPECT_TRUE(r.OldValue(1, 0).IsNull());
  EXPECT_EQ(r.NewValue(1, 1), Variant("new"));
  EXPECT_EQ(r.Kind(2), TUpdateKind::ukDelete);
  EXPECT_EQ(r.OldValue(2, 0), Variant(std::int32_t{1}));
  EXPECT_TRUE(r.NewValue(2, 0).IsNull());
  EXPECT_EQ(r.FieldIndex("name"), 1);
  EXPECT_THROW(r.Kind(3), Error);
}

std::vector<std::uint8_t> SamplePacket() {
  PacketWriter w;
  w.AddField("ID", TFieldType::ftInteger);
  w.AddField("Name", TFieldType::ftString, 20);
  w.AddField("Day", TFieldType::ftDate);
  w.AddField("Amount", TFieldType::ftCurrency);
  w.AddField("At", TFieldType::ftDateTime);
  for (int i = 0; i < 12; ++i) {
    w.AddInt(i * 3);
    if (i % 4 == 0) {
      w.AddNull();
    } else {
      w.AddText("名" + std::to_string(i));
    }
    w.AddDateTime(45000 + i);
    w.AddCurrency(Currency{i * 12345});
    w.AddDateTime(45000.5 + i / 3.0);
    w.EndRow();
  }
  return w.Finish();
}

// Loading a corrupted packet either fails with sw::Error or yields a consistent data set; never a crash, and
// a failed load leaves the previous content in place.
void ExpectRefusedOrConsistent(const std::vector<std::uint8_t>& bytes, TClientDataSet& ds, int& refused) {
  try {
    ds.SetData(Variant::Bytes(bytes));
    // Accepted: every value must be readable.
    for (ds.First(); !ds.Eof(); ds.Next()) {
      for (std::size_t f = 0; f < ds.FieldCount(); ++f) (void)ds.Fields(f).AsString();
    }
  } catch (const Error&) {
    ++refused;
    EXPECT_EQ(ds.RecordCount(), 12);  // the previous content stays
  }
}

TEST(PacketTest, EveryTruncationIsRefused) {
  auto good = SamplePacket();
  TClientDataSet ds;
  ds.SetData(Variant::Bytes(good));
  for (std::size_t len = 0; len < good.size(); ++len) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
    SCOPED_TRACE(len);
    EXPECT_THROW(ds.SetData(Variant::Bytes(cut)), Error);
    EXPECT_EQ(ds.RecordCount(), 12);
  }
  auto longer = good;
  longer.push_back(0);
  EXPECT_THROW(ds.SetData(Variant::Bytes(longer)), Error);
}

TEST(PacketTest, RandomByteFlipsNeverCrash) {
  auto good = SamplePacket();
  TClientDataSet ds;
  ds.SetData(Variant::Bytes(good));
  std::mt19937 rng(20240501);
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    auto bad = good;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    ExpectRefusedOrConsistent(bad, ds, refused);
    ds.SetData(Variant::Bytes(good));
  }
  EXPECT_GT(refused, 1000);
}

TEST(PacketTest, MalformedHeadersAndCountsAreRefused) {
  auto good = SamplePacket();
  struct Case {
    const char* what;
    std::size_t at;
    std::vector<std::uint8_t> bytes;  // replacing from `at` to the end (empty: cut there)
  };
  const Case cases[] = {
      {"wrong magic", 0, {'X', 'W', 'D', 'P'}},
      {"future version", 4, {2, 0}},
      {"delta kind", 6, {1}},
      {"flags", 7, {9}},
      {"absurd field count", 8, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
      {"overlong number", 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto bad = good;
    std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(c.at));
    EXPECT_THROW(PacketReader r(bad), Error);
  }
  // A row count far beyond what the bytes can hold is refused before anything is allocated.
  PacketWriter w;
  w.AddField("A", TFieldType::ftInteger);
  auto empty = w.Finish();
  empty.back() = 0xFF;  // row count 127 with no bytes left
  EXPECT_THROW(PacketReader r(empty), Error);
  empty.pop_back();
  for (std::uint8_t b : {0xFF, 0xFF, 0xFF, 0xFF, 0x07}) empty.push_back(b);  // two thousand million rows
  EXPECT_THROW(PacketReader r(empty), Error);
  // Other variants than byte arrays, and a delta read as a data packet.
  EXPECT_THROW(PacketReader r(Variant("text")), Error);
  EXPECT_THROW(PacketReader r(DeltaWriter({{"A", TFieldType::ftInteger}}).FinishVariant()), Error);
  EXPECT_THROW(DeltaReader r(Variant::Bytes(good)), Error);
}

TEST(PacketTest, CorruptedDeltasAreRefused) {
  std::vector<TFieldDef> defs{{"ID", TFieldType::ftInteger}, {"Name", TFieldType::ftString, 20}};
  DeltaWriter w(defs);
  std::vector<Variant> a{Variant(std::int32_t{1}), Variant("old")},
      b{Variant(std::int32_t{2}), Variant("新")};
  w.AddChange(TUpdateKind::ukModify, a, b);
  w.AddChange(TUpdateKind::ukDelete, a, {});
  auto good = w.Finish();
  for (std::size_t len = 0; len < good.size(); ++len) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
    EXPECT_THROW(DeltaReader r(cut), Error) << len;
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    auto bad = good;
    bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    try {
      DeltaReader r(bad);
      for (std::size_t i = 0; i < r.Count(); ++i) {
        for (std::size_t f = 0; f < r.Fields().size(); ++f) (void)r.Changed(i, f);
      }
    } catch (const Error&) {
    }
  }
}

}  // namespace
}  // namespace sw
