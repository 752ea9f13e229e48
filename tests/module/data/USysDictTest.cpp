#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ClassDescFixture.h"
#include "sw/core/CodePage.h"
#include "sw/core/Error.h"
#include "sw/data/ClassDescDump.h"
#include "sw/data/USysDict.h"

using namespace sw;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Lays out expected stream bytes by hand.
struct Layout {
  Bytes b;
  Layout& U8(unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Layout& U16(unsigned v) { return U8(v & 0xFF).U8(v >> 8); }
  Layout& I32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    return U16(u & 0xFFFF).U16(u >> 16);
  }
  Layout& Str(const std::string& raw) {
    U16(static_cast<unsigned>(raw.size()));
    b.insert(b.end(), raw.begin(), raw.end());
    return U8(0);
  }
};

Bytes Save(const TSysClassDesc& d, bool full) {
  return d.SaveToVariant(full).AsBytes().bytes;
}

std::string Dump(const TSysClassDesc& d) {
  std::ostringstream out;
  DumpClassDesc(d, out);
  return out.str();
}

Bytes SampleBytes() {
  TSysClassDesc d;
  fixture::FillUserClass(d);
  return Save(d, true);
}

// One property whose texts are all empty: the shortest record, 93 bytes at the end of the stream.
Bytes MinimalBytes() {
  TSysClassDesc d(nullptr, 0, 9);
  auto& p = d.AddProp();
  p.PropId = 1;
  p.DataType = 1;
  return Save(d, true);
}

}  // namespace

TEST(SysDict, StreamLayoutFieldByField) {
  TSysClassDesc d(nullptr, lt_TW, 0x01020304);
  TSysClassDescRec& r = d.Rec();
  r.FullDesc = 1;
  r.SelectMode = 1;
  r.QueryKind = 5;
  r.SearchFlag = 6;
  r.ServerCache = "sc";
  r.FromText = "ft";
  r.ClassFlag = 0xC1;
  r.ClassCaption = "用户";
  r.TableName = "tn";
  r.ClassFlag2 = 0xC2;
  r.IndexFields = "ix";
  r.ClassFlag3 = 0xC3;
  r.ClassText = "c1";
  r.ClassText2 = "c2";
  TSysPropDesc p;
  p.PropId = 0x0101;
  p.Caption = "名";
  p.DataType = 21;
  p.DispIndex = 0x0203;
  p.TableName = "t";
  p.FieldName = "f";
  p.MaxLength = 0x0405;
  p.DispWidth = 0x0607;
  p.Decimals = 0x0809;
  p.EditKind = 4;
  p.RefId = 0x0A0B;
  p.RefMode = -2;
  p.NameProp = 0x11223344;
  p.MustExist = 1;
  p.Condition = "cond";
  p.AutoKind = 0xAA;
  std::uint8_t* flags[] = {
      &p.IsKey,        &p.Editable,       &p.Visible,      &p.InList,    &p.Required,    &p.AllowAll,
      &p.InCondition,  &p.PropFlag1,      &p.SumInFooter,  &p.PropFlag2, &p.ZeroAsBlank, &p.PropFlag3,
      &p.ShowCodeName, &p.PanelCondition, &p.InLookupList, &p.AutoOrder, &p.PropFlag4};
  for (int i = 0; i < 17; ++i) *flags[i] = static_cast<std::uint8_t>(0xE0 + i);
  p.PropText1 = "p1";
  p.DefaultValue = "dv";
  p.DisplayFormat = "df";
  p.BadText = "bt";
  p.PropText2 = "p2";
  p.DisplayCaption = "dc";
  p.TextCode = "tc";
  p.DispOrder = 0xFFFE;
  p.RefTable = "rt";
  p.RefKeyField = "rk";
  p.RefKeyType = 24;
  p.RefNameField = "rn";
  p.RefCondition = "rc";
  d.AddProp(p);

  Layout e;
  e.I32(0x01020304).I32(3).U8(1).U8(1).U8(5).U8(6).Str("sc").Str("ft");
  e.U16(0xC1).Str(Utf8ToGbk("用户")).Str("tn").U8(0xC2).Str("ix").U8(0xC3).Str("c1").Str("c2").U16(1);
  e.U16(0x0101)
      .Str(Utf8ToGbk("名"))
      .U16(21)
      .U16(0x0203)
      .Str("t")
      .Str("f")
      .U16(0x0405)
      .U16(0x0607)
      .U16(0x0809);
  e.U16(4).U16(0x0A0B).I32(-2).I32(0x11223344).U8(1).Str("cond").U16(0xAA);
  for (int i = 0; i < 17; ++i) e.U8(0xE0 + i);
  e.Str("p1").Str("dv").Str("df").Str("bt").Str("p2").Str("dc").Str("tc").U16(0xFFFE).Str("rt").Str("rk");
  e.U16(24).Str("rn").Str("rc");

  // FullDesc 1 makes even a header-only request carry the whole description.
  EXPECT_EQ(Save(d, false), e.b);
  EXPECT_EQ(Save(d, true), e.b);
  EXPECT_EQ(Utf8ToGbk("用户"), "\xD3\xC3\xBB\xA7");  // the caption travels as GBK bytes

  TSysClassDesc back;
  back.LoadFromVariant(Variant::Bytes(e.b), false);
  EXPECT_EQ(Dump(back), Dump(d));
  EXPECT_EQ(back.Prop(0x0101)->Caption, "名");
  EXPECT_EQ(back.Prop(0x0101)->RefMode, -2);
  EXPECT_EQ(back.Prop(0x0101)->PropFlag4, 0xF0);
}

TEST(SysDict, RoundTripIsByteForByteAndSortsByPropId) {
  TSysClassDesc d;
  fixture::FillUserClass(d);
  const Bytes first = Save(d, true);

  TSysClassDesc back(nullptr, lt_USA, 1);
  back.LoadFromVariant(Variant::Bytes(first), true);
  EXPECT_EQ(Save(back, true), first);

  // The list came back in PropId order; every value, text and Chinese caption survived.
  std::vector<std::int32_t> ids;
  for (const auto& p : back.Props()) ids.push_back(p->PropId);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  for (int n = 1; n <= 5; ++n) {
    TSysClassDesc one, two;
    one.AddProp(*d.Prop(n));
    two.AddProp(*back.Prop(n));
    EXPECT_EQ(Dump(one), Dump(two)) << n;
    EXPECT_EQ(back.Prop(n)->ClassDesc, &back);
  }
  EXPECT_EQ(back.Rec().ClassCaption, "用户");
  EXPECT_EQ(back.Prop(2)->Caption, "用户名称");
  EXPECT_EQ(back.Prop(3)->RefCondition, "&CURRTABLE&.OrgType=[机构类型]");
  EXPECT_EQ(back.Prop(4)->NameProp, 0x7FFFFFFF);
  EXPECT_EQ(back.Prop(4)->DispOrder, 65535);
  EXPECT_EQ(back.LanguageType(), lt_PRC);
  EXPECT_EQ(back.Rec().FromText, d.Rec().FromText);
}

TEST(SysDict, GbkBytesFromTheServerComeBackUnchanged) {
  // A description as the server sends it: texts in GBK, properties already in PropId order.
  Layout e;
  e.I32(8001).I32(1).U8(0).U8(0).U8(1).U8(0).Str("").Str("");
  e.U16(0).Str("\xC9\xCC\xC6\xB7").Str("TSKUPLU").U8(0).Str("PluCode").U8(0).Str("").Str("").U16(1);
  e.U16(1).Str("\xC6\xB7\xC2\xEB").U16(1).U16(0).Str("TSKUPLU").Str("PLUCODE").U16(13).U16(13).U16(0);
  e.U16(0).U16(0).I32(0).I32(0).U8(0).Str("").U16(0);
  for (int i = 0; i < 17; ++i) e.U8(i % 2);
  for (int i = 0; i < 7; ++i) e.Str("");
  e.U16(1).Str("").Str("").U16(0).Str("").Str("");

  TSysClassDesc d;
  d.LoadFromVariant(Variant::Bytes(e.b), true);
  EXPECT_EQ(d.Rec().ClassCaption, "商品");
  EXPECT_EQ(d.Prop(1)->Caption, "品码");
  EXPECT_EQ(Save(d, true), e.b);
}

TEST(SysDict, ByteFieldsInWiderSlotsReadBackAsTheirLowByte) {
  Bytes b = MinimalBytes();
  const std::size_t rec = b.size() - 93;
  b[4] = 0x02;  // LanguageType 0x00000202 keeps 2
  b[5] = 0x02;
  b[rec + 6] = 0x01;   // DataType 0x0101 keeps 1
  b[rec + 22] = 0x7F;  // EditKind 0x7F00 keeps 0
  b[rec + 38] = 0x12;  // AutoKind 0x1200 keeps 0
  b[rec + 86] = 0x05;  // RefKeyType 0x0500 keeps 0
  TSysClassDesc d;
  d.LoadFromVariant(Variant::Bytes(b), true);
  EXPECT_EQ(d.LanguageType(), 2);
  EXPECT_EQ(d.Prop(1)->DataType, 1);
  EXPECT_EQ(d.Prop(1)->EditKind, 0);
  EXPECT_EQ(d.Prop(1)->AutoKind, 0);
  EXPECT_EQ(d.Prop(1)->RefKeyType, 0);
  Bytes expected = MinimalBytes();
  expected[4] = 0x02;
  EXPECT_EQ(Save(d, true), expected);
}

TEST(SysDict, HeaderOnlyAndFullStreams) {
  TSysClassDesc sample;
  fixture::FillUserClass(sample);

  // FullDesc 0: a header-only request writes the eight header values and nothing more.
  const Bytes header = Save(sample, false);
  Layout e;
  e.I32(2002).I32(1).U8(0).U8(1).U8(1).U8(3).Str("cache:2002").Str(sample.Rec().FromText);
  EXPECT_EQ(header, e.b);

  // Read header-only: header values change, the class part and the property list stay as they were.
  TSysClassDesc d;
  auto& old = d.AddProp();
  old.PropId = 1;
  old.DataType = 1;
  old.FieldName = "Old";
  d.Rec().ClassCaption = "kept";
  d.Rec().IndexFields = "KeptIndex";
  d.LoadFromVariant(Variant::Bytes(header), false);
  EXPECT_EQ(d.ClassID(), 2002);
  EXPECT_EQ(d.SelectMode(), 1);
  EXPECT_EQ(d.SearchFlag(), 3);
  EXPECT_EQ(d.ServerCache(), "cache:2002");
  EXPECT_EQ(d.Rec().ClassCaption, "kept");
  EXPECT_EQ(d.IndexFields(), "KeptIndex");
  ASSERT_EQ(d.PropCount(), 1);
  EXPECT_EQ(d.Prop(1)->FieldName, "Old");

  // A header-only stream cannot satisfy a full request.
  EXPECT_THROW(d.LoadFromVariant(Variant::Bytes(header), true), Error);
  EXPECT_EQ(d.Prop(1)->FieldName, "Old");

  // FullDesc 1 in the stream: read whole even though only the header was asked for, replacing the list.
  sample.SetFullDesc(1);
  const Bytes whole = Save(sample, false);
  EXPECT_EQ(whole, Save(sample, true));
  d.LoadFromVariant(Variant::Bytes(whole), false);
  EXPECT_EQ(d.PropCount(), 5);
  EXPECT_EQ(d.FullDesc(), 1);
  EXPECT_EQ(d.Rec().ClassCaption, "用户");
  EXPECT_EQ(d.FindByFieldName("Old"), nullptr);

  // Loading from a stream reads at its position and leaves it after the description.
  TMemoryStream ms;
  ms.Write("xy", 2);
  sample.SaveToStream(ms, false);
  ms.Write("z", 1);
  ms.SetPosition(2);
  TSysClassDesc again;
  again.LoadFromStream(ms, false);
  EXPECT_EQ(ms.Position(), 2 + whole.size());
  EXPECT_EQ(again.PropCount(), 5);
}

TEST(SysDict, PropLookupRule) {
  struct Case {
    std::vector<std::int32_t> ids;  // PropIds in list order
    int n;
    int expectedIndex;  // 0-based position in the list, -1: none
  };
  const Case cases[] = {
      {{3, 1, 2}, 1, 1}, {{3, 1, 2}, 2, 2}, {{3, 1, 2}, 3, 0},   // found by PropId
      {{3, 1, 2}, 0, 2}, {{3, 1, 2}, 4, 2}, {{3, 1, 2}, -1, 2},  // outside 1..count: the last
      {{1, 2, 3}, 2, 1},                                         // the n-th already has PropId n
      {{5, 0, 7}, 0, 1}, {{5, 0, 7}, 7, 2},                      // outside 1..count, but some PropId matches
      {{5, 0, 7}, 2, 1}, {{5, 0, 7}, 1, 0},                      // no PropId matches: the n-th
      {{2, 2, 1}, 2, 1},                                         // the n-th has PropId n: it wins
      {{5, 5, 1}, 5, 0},                                         // the search finds the first of equal ids
      {{}, 1, -1},       {{}, 0, -1},
  };
  for (const auto& c : cases) {
    TSysClassDesc d;
    std::vector<TSysPropDesc*> made;
    for (auto id : c.ids) {
      auto& p = d.AddProp();
      p.PropId = id;
      made.push_back(&p);
    }
    TSysPropDesc* got = d.Prop(c.n);
    TSysPropDesc* want = c.expectedIndex < 0 ? nullptr : made[static_cast<std::size_t>(c.expectedIndex)];
    EXPECT_EQ(got, want) << "ids size " << c.ids.size() << " n " << c.n;
  }
}

TEST(SysDict, SaveWritesEachPropertyOnceInPropIdOrder) {
  struct Case {
    std::vector<std::int32_t> ids;
    std::vector<std::string> expectedNames;  // FieldNames in stream order
  };
  const Case cases[] = {
      {{3, 1, 2}, {"f2", "f3", "f1"}},
      {{7, 5, 6}, {"f2", "f3", "f1"}},
      // Equal ids keep list order and nothing is written twice or dropped.
      {{2, 2, 1}, {"f3", "f1", "f2"}},
  };
  for (const auto& c : cases) {
    TSysClassDesc d;
    for (std::size_t i = 0; i < c.ids.size(); ++i) {
      auto& p = d.AddProp();
      p.PropId = c.ids[i];
      p.DataType = 1;
      p.FieldName = "f" + std::to_string(i + 1);
    }
    TSysClassDesc back;
    back.LoadFromVariant(d.SaveToVariant(true), true);
    std::vector<std::string> names;
    for (const auto& p : back.Props()) names.push_back(p->FieldName);
    EXPECT_EQ(names, c.expectedNames);
  }
}

TEST(SysDict, LookupsByDisplayIndexNameAndCaption) {
  TSysClassDesc d;
  fixture::FillUserClass(d);
  auto& extra = d.AddProp();
  extra.PropId = 6;
  extra.DataType = 1;
  extra.FieldName = "PLUCODE";
  extra.Caption = "Plu Code";
  extra.DispIndex = 1;  // same display index as UserName, which comes first

  EXPECT_EQ(d.PropByIndex(0)->FieldName, "UserCode");
  EXPECT_EQ(d.PropByIndex(1)->FieldName, "UserName");
  EXPECT_EQ(d.PropByIndex(4)->FieldName, "IsActive");
  EXPECT_EQ(d.PropByIndex(5), nullptr);
  EXPECT_EQ(d.PropByIndex(-1), nullptr);

  EXPECT_EQ(d.FindByFieldName("plucode"), &extra);
  EXPECT_EQ(d.FindByFieldName("USERNAME")->PropId, 2);
  EXPECT_EQ(d.FindByFieldName("orgcode$")->PropId, 4);
  EXPECT_EQ(d.FindByFieldName("UserNam"), nullptr);
  EXPECT_EQ(d.FindByFieldName(""), nullptr);
  EXPECT_EQ(d.FindByCaption("plu code"), &extra);
  EXPECT_EQ(d.FindByCaption("机构")->PropId, 3);
  EXPECT_EQ(d.FindByCaption("姓名"), nullptr);  // the display caption is not the caption
  EXPECT_EQ(d.Prop(2)->DispCaption(), "姓名");
  EXPECT_EQ(d.Prop(3)->DispCaption(), "机构");
}

TEST(SysDict, ConstructionClearAndAccessors) {
  TSysClassDesc d(nullptr, 0, 2216);
  EXPECT_EQ(d.ClassID(), 2216);
  EXPECT_EQ(d.LanguageType(), lt_Def);
  EXPECT_EQ(d.SelectMode(), 0);
  EXPECT_EQ(d.QueryKind(), 1);
  EXPECT_EQ(d.PropCount(), 0);
  EXPECT_EQ(TSysClassDesc(nullptr, lt_TW, 1).LanguageType(), lt_TW);
  EXPECT_THROW(TSysClassDesc(nullptr, 256, 1), Error);

  d.SetServerCache("cached");
  d.SetQueryKind(1);
  EXPECT_EQ(d.ServerCache(), "cached");  // same value: the cache stays
  d.SetQueryKind(0);
  EXPECT_EQ(d.QueryKind(), 0);
  EXPECT_EQ(d.ServerCache(), "");

  fixture::FillUserClass(d);
  EXPECT_EQ(d.PropCount(), 5);
  d.Clear();
  EXPECT_EQ(d.PropCount(), 0);
  EXPECT_EQ(d.Prop(1), nullptr);
  EXPECT_THROW(d.AddProp(std::unique_ptr<TSysPropDesc>()), Error);
}

TEST(SysDict, VariantsCarryBytesWithLowerBoundZeroAndLoadAnyBounds) {
  TSysClassDesc d;
  fixture::FillUserClass(d);
  const Variant v = d.SaveToVariant(true);
  ASSERT_TRUE(v.IsBytes());
  EXPECT_EQ(v.AsBytes().low, 0);
  EXPECT_EQ(v.AsBytes().High(), static_cast<std::int32_t>(SampleBytes().size()) - 1);

  TSysClassDesc back;
  back.LoadFromVariant(Variant::Bytes(v.AsBytes().bytes, 5), true);
  EXPECT_EQ(Save(back, true), SampleBytes());

  for (const Variant& bad : {Variant(), Variant::Null(), Variant("text"), Variant(std::int32_t{3})}) {
    EXPECT_THROW(back.LoadFromVariant(bad, true), Error) << VarTypeName(bad.Type());
  }
  EXPECT_EQ(back.PropCount(), 5);
}

TEST(SysDict, EveryCutOfTheStreamIsAnErrorAndChangesNothing) {
  const Bytes whole = SampleBytes();
  TSysClassDesc d;
  fixture::FillUserClass(d);
  d.Rec().ClassCaption = "before";
  const std::string before = Dump(d);
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    TMemoryStream ms(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
    try {
      d.LoadFromStream(ms, true);
      ADD_FAILURE() << "cut at " << cut << " was accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("class description"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ms.Position(), 0u) << cut;
    ASSERT_EQ(Dump(d), before) << "cut at " << cut;
  }
  // The same with FullDesc 1 in the stream and a header-only request.
  TSysClassDesc sample;
  fixture::FillUserClass(sample);
  sample.SetFullDesc(1);
  const Bytes fullDesc = Save(sample, false);
  for (std::size_t cut = 0; cut < fullDesc.size(); ++cut) {
    TMemoryStream ms(Bytes(fullDesc.begin(), fullDesc.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_THROW(d.LoadFromStream(ms, false), Error) << cut;
  }
  EXPECT_EQ(Dump(d), before);
}

TEST(SysDict, CorruptStreamsAreRefusedWithAClearMessage) {
  const Bytes minimal = MinimalBytes();
  ASSERT_EQ(minimal.size(), 18u + 2 + 3 + 3 + 1 + 3 + 1 + 3 + 3 + 2 + 93);
  const std::size_t rec = minimal.size() - 93;
  const std::size_t countAt = rec - 2;
  struct Case {
    const char* name;
    std::size_t at;
    std::vector<std::uint8_t> bytes;  // written over the stream from `at`
    const char* message;              // part of the error text
  };
  const Case cases[] = {
      {"FullDesc 2", 8, {2}, "FullDesc is 2"},
      {"SelectMode 9", 9, {9}, "SelectMode is 9"},
      {"huge property count", countAt, {0xFF, 0xFF}, "65535 properties cannot fit"},
      {"two properties, one record", countAt, {2, 0}, "cannot fit"},
      {"ServerCache longer than the stream", 12, {0xFF, 0x7F}, "ends inside the header"},
      {"caption longer than the stream", rec + 2, {0xF0, 0x00}, "ends inside property 1 of 1"},
      {"DataType 0", rec + 5, {0, 0}, "DataType 0 is not a data type code"},
      {"DataType 28", rec + 5, {28, 0}, "DataType 28"},
      {"EditKind 5", rec + 21, {5, 0}, "EditKind 5"},
      {"MustExist 2", rec + 33, {2}, "MustExist is 2"},
      {"RefKeyType 200", rec + 85, {200, 0}, "RefKeyType 200"},
  };
  for (const auto& c : cases) {
    Bytes b = minimal;
    std::copy(c.bytes.begin(), c.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(c.at));
    TSysClassDesc d;
    try {
      d.LoadFromVariant(Variant::Bytes(b), true);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
    EXPECT_EQ(d.PropCount(), 0) << c.name;
  }
}

TEST(SysDict, RandomDamageNeverCrashesAndWhatLoadsSavesAgain) {
  const Bytes whole = SampleBytes();
  std::mt19937 rng(20261211);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes b = whole;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
    if (rng() % 4 == 0) b.resize(rng() % b.size());
    TSysClassDesc d;
    try {
      d.LoadFromVariant(Variant::Bytes(b), rng() % 2 == 0);
    } catch (const Error&) {
      continue;
    }
    ++loaded;
    EXPECT_NO_THROW(d.SaveToVariant(true)) << round;
  }
  EXPECT_GT(loaded, 0);
}

TEST(SysDict, ValuesTheFormatCannotHoldAreRefusedOnWriteWithoutOutput) {
  struct Case {
    const char* name;
    void (*spoil)(TSysPropDesc&);
    const char* message;
  };
  const Case cases[] = {
      {"PropId 65536", [](TSysPropDesc& p) { p.PropId = 65536; }, "PropId 65536 does not fit in 2 bytes"},
      {"negative DispIndex", [](TSysPropDesc& p) { p.DispIndex = -1; }, "DispIndex -1"},
      {"RefId 70000", [](TSysPropDesc& p) { p.RefId = 70000; }, "RefId 70000"},
      {"DispOrder 65536", [](TSysPropDesc& p) { p.DispOrder = 65536; }, "DispOrder"},
      {"DataType 0", [](TSysPropDesc& p) { p.DataType = 0; }, "DataType 0"},
      {"EditKind 9", [](TSysPropDesc& p) { p.EditKind = 9; }, "EditKind 9"},
      {"MustExist 3", [](TSysPropDesc& p) { p.MustExist = 3; }, "MustExist is 3"},
      // 40,000 Chinese characters are 80,000 GBK bytes, though fewer than 65,536 characters.
      {"long caption",
       [](TSysPropDesc& p) {
         p.Caption.clear();
         for (int i = 0; i < 40000; ++i) p.Caption += "用";
       },
       "Caption is 80000 bytes"},
  };
  for (const auto& c : cases) {
    TSysClassDesc d(nullptr, 0, 2002);
    fixture::FillUserClass(d);
    c.spoil(*d.Prop(3));
    TMemoryStream ms;
    ms.Write("ab", 2);
    try {
      d.SaveToStream(ms, true);
      ADD_FAILURE() << c.name << " was written";
    } catch (const Error& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(c.message), std::string::npos) << c.name << ": " << text;
      EXPECT_NE(text.find("class description 2002"), std::string::npos) << text;
      EXPECT_NE(text.find("OrgCode"), std::string::npos) << text;  // names the property
    }
    EXPECT_EQ(ms.Size(), 2u) << c.name;
  }
  TSysClassDesc d;
  d.SetFullDesc(2);
  EXPECT_THROW(d.SaveToVariant(false), Error);

  // The longest caption that fits is written and read back.
  TSysClassDesc big;
  auto& p = big.AddProp();
  p.PropId = 1;
  p.DataType = 1;
  p.Caption = std::string(65535, 'c');
  TSysClassDesc back;
  back.LoadFromVariant(big.SaveToVariant(true), true);
  EXPECT_EQ(back.Prop(1)->Caption.size(), 65535u);
}

TEST(SysDict, DataTypeClasses) {
  struct Case {
    int code;
    TDataTypeClass cls;
    bool quoted;
  };
  const Case cases[] = {
      {0, TDataTypeClass::Unknown, false},    {1, TDataTypeClass::Text, true},
      {10, TDataTypeClass::Text, true},       {11, TDataTypeClass::Integer, false},
      {12, TDataTypeClass::Integer, false},   {13, TDataTypeClass::Decimal, false},
      {14, TDataTypeClass::Decimal, false},   {15, TDataTypeClass::Integer, false},
      {16, TDataTypeClass::Int64, false},     {17, TDataTypeClass::Decimal, false},
      {20, TDataTypeClass::Decimal, false},   {21, TDataTypeClass::DateTime, true},
      {22, TDataTypeClass::Boolean, true},    {23, TDataTypeClass::Date, true},
      {24, TDataTypeClass::Time, true},       {25, TDataTypeClass::LargeInteger, false},
      {26, TDataTypeClass::ButtonText, true}, {27, TDataTypeClass::DateTimeBare, false},
      {28, TDataTypeClass::Unknown, false},   {-1, TDataTypeClass::Unknown, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DataTypeClass(c.code), c.cls) << c.code;
    EXPECT_EQ(IsQuotedDataType(c.code), c.quoted) << c.code;
  }
}

TEST(SysDict, DumpListsHeaderAndOneLinePerProperty) {
  TSysClassDesc d(nullptr, lt_PRC, 2006);
  d.Rec().ClassCaption = "员工";
  d.Rec().TableName = "tUsrEmployee";
  auto& p = d.AddProp();
  p.PropId = 1;
  p.FieldName = "EmpCode";
  p.Caption = "员工\"编码\"";
  p.DataType = 1;
  p.MaxLength = 20;
  p.IsKey = 1;
  p.Visible = 1;
  p.DefaultValue = "a\\b\r\n\x01";
  auto& q = d.AddProp();
  q.PropId = 2;
  q.FieldName = "OrgCode";
  q.DataType = 21;
  q.EditKind = ekLookup3;
  q.NameProp = -3;
  q.RefKeyType = 1;
  EXPECT_EQ(
      Dump(d),
      "ClassID=2006 LanguageType=1 FullDesc=0 SelectMode=0 QueryKind=1 SearchFlag=0 ServerCache=\"\" "
      "FromText=\"\"\n"
      "ClassCaption=\"员工\" TableName=\"tUsrEmployee\" IndexFields=\"\" ClassFlag=0 ClassFlag2=0 "
      "ClassFlag3=0 ClassText=\"\" ClassText2=\"\"\n"
      "PropCount=2\n"
      "PropId=1 FieldName=\"EmpCode\" Caption=\"员工\\\"编码\\\"\" DataType=1(text) MaxLength=20 IsKey=1 "
      "Visible=1 DefaultValue=\"a\\\\b\\r\\n\\x01\"\n"
      "PropId=2 FieldName=\"OrgCode\" Caption=\"\" DataType=21(datetime) EditKind=3 NameProp=-3 "
      "RefKeyType=1(text)\n");
}

// The sample stream of the CLI test is this fixture written out; SW_WRITE_TEST_DATA=1 rewrites the files.
TEST(SysDict, SampleFilesMatchTheFixture) {
  const std::string dir = std::string(SW_TEST_DATA_DIR) + "/classdesc/";
  const Bytes whole = SampleBytes();
  const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
  if (const char* write = std::getenv("SW_WRITE_TEST_DATA"); write && std::string(write) == "1") {
    TMemoryStream(whole).SaveToFile(dir + "user2002.bin");
    TMemoryStream(cut).SaveToFile(dir + "user2002-truncated.bin");
  }
  TMemoryStream file;
  file.LoadFromFile(dir + "user2002.bin");
  EXPECT_EQ(file.Bytes(), whole);
  file.LoadFromFile(dir + "user2002-truncated.bin");
  EXPECT_EQ(file.Bytes(), cut);
}
