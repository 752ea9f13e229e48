#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sw/common/USysStream.h"
#include "sw/core/Error.h"

using namespace sw;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Written(void (*write)(TSysStream&)) {
  TMemoryStream ms;
  TSysStream s(ms);
  write(s);
  return ms.Bytes();
}

}  // namespace

TEST(SysStream, IntegersAreLittleEndianWithoutPadding) {
  struct Case {
    const char* name;
    void (*write)(TSysStream&);
    Bytes expected;
  };
  const Case cases[] = {
      {"byte", [](TSysStream& s) { s.WriteByte(0xAB); }, {0xAB}},
      {"word 0x1234", [](TSysStream& s) { s.WriteWord(0x1234); }, {0x34, 0x12}},
      {"word 65535", [](TSysStream& s) { s.WriteWord(65535); }, {0xFF, 0xFF}},
      {"integer -1", [](TSysStream& s) { s.WriteInteger(-1); }, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"integer 0x01020304", [](TSysStream& s) { s.WriteInteger(0x01020304); }, {0x04, 0x03, 0x02, 0x01}},
      {"integer min", [](TSysStream& s) { s.WriteInteger(INT32_MIN); }, {0x00, 0x00, 0x00, 0x80}},
      {"mixed",
       [](TSysStream& s) {
         s.WriteByte(1);
         s.WriteWord(2);
         s.WriteInteger(3);
       },
       {0x01, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00}},
  };
  for (const auto& c : cases) EXPECT_EQ(Written(c.write), c.expected) << c.name;

  TMemoryStream ms(Bytes{0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x81, 0x7F});
  TSysStream s(ms);
  EXPECT_EQ(s.ReadWord(), 0x1234);
  EXPECT_EQ(s.ReadInteger(), -1);
  EXPECT_EQ(s.ReadInteger(), static_cast<std::int32_t>(0x81020304));
  EXPECT_EQ(s.ReadByte(), 0x7F);
  EXPECT_EQ(ms.Position(), ms.Size());
  EXPECT_FALSE(s.Truncated());
}

TEST(SysStream, StringsAreLengthBytesAndTerminator) {
  const std::string s300(300, 'x');
  const std::string gbk = "\xD3\xC3\xBB\xA7";  // two GBK characters travel as their four bytes, unconverted
  struct Case {
    std::string value;
    Bytes head;  // the length field
  };
  const Case cases[] = {{"", {0x00, 0x00}}, {"A", {0x01, 0x00}}, {gbk, {0x04, 0x00}}, {s300, {0x2C, 0x01}}};
  for (const auto& c : cases) {
    TMemoryStream ms;
    TSysStream w(ms);
    w.WriteString(c.value);
    Bytes expected = c.head;
    expected.insert(expected.end(), c.value.begin(), c.value.end());
    expected.push_back(0x00);
    EXPECT_EQ(ms.Bytes(), expected) << c.value.size();

    ms.SetPosition(0);
    TSysStream r(ms);
    EXPECT_EQ(r.ReadString(), c.value);
    EXPECT_EQ(ms.Position(), c.value.size() + 3);
    EXPECT_FALSE(r.Truncated());
  }
}

TEST(SysStream, TerminatorIsConsumedWhateverItHolds) {
  TMemoryStream ms(Bytes{0x02, 0x00, 'o', 'k', 0x5A, 0x01, 0x00, 'x', 0xFF, 0x07});
  TSysStream s(ms);
  EXPECT_EQ(s.ReadString(), "ok");
  EXPECT_EQ(s.ReadString(), "x");
  EXPECT_EQ(s.ReadByte(), 0x07);
  EXPECT_FALSE(s.Truncated());
}

TEST(SysStream, ReadsPastTheEndGiveZerosAndMarkTheStream) {
  struct Case {
    const char* name;
    Bytes input;
    std::int64_t (*read)(TSysStream&);  // returns the value, or the string's size
  };
  const Case cases[] = {
      {"byte of nothing", {}, [](TSysStream& s) -> std::int64_t { return s.ReadByte(); }},
      {"word of one byte", {0x7F}, [](TSysStream& s) -> std::int64_t { return s.ReadWord(); }},
      {"integer of three bytes", {1, 2, 3}, [](TSysStream& s) -> std::int64_t { return s.ReadInteger(); }},
      {"string without length",
       {0x05},
       [](TSysStream& s) -> std::int64_t { return static_cast<std::int64_t>(s.ReadString().size()); }},
      {"string cut in its bytes",
       {0x05, 0x00, 'a', 'b'},
       [](TSysStream& s) -> std::int64_t { return static_cast<std::int64_t>(s.ReadString().size()); }},
      {"string without terminator",
       {0x02, 0x00, 'a', 'b'},
       [](TSysStream& s) -> std::int64_t { return static_cast<std::int64_t>(s.ReadString().size()); }},
  };
  for (const auto& c : cases) {
    TMemoryStream ms(c.input);
    TSysStream s(ms);
    EXPECT_EQ(c.read(s), 0) << c.name;
    EXPECT_TRUE(s.Truncated()) << c.name;
    EXPECT_EQ(ms.Position(), ms.Size()) << c.name;
  }

  // The mark stays until reset, so a reader can check once after a run of values.
  TMemoryStream ms(Bytes{0x01});
  TSysStream s(ms);
  EXPECT_EQ(s.ReadByte(), 1);
  EXPECT_FALSE(s.Truncated());
  EXPECT_EQ(s.ReadWord(), 0);
  EXPECT_EQ(s.ReadByte(), 0);
  EXPECT_TRUE(s.Truncated());
  s.ResetTruncated();
  EXPECT_FALSE(s.Truncated());
}

TEST(SysStream, StringLimitIs65535BytesAndLongerIsRefusedWithoutWriting) {
  TMemoryStream ms;
  TSysStream s(ms);
  const std::string longest(TSysStream::kMaxStringLength, 'y');
  s.WriteString(longest);
  EXPECT_EQ(ms.Size(), 65535u + 3);
  EXPECT_EQ(ms.Bytes()[0], 0xFF);
  EXPECT_EQ(ms.Bytes()[1], 0xFF);

  EXPECT_THROW(s.WriteString(std::string(65536, 'z')), Error);
  EXPECT_EQ(ms.Size(), 65535u + 3);  // nothing of the refused string was written

  ms.SetPosition(0);
  EXPECT_EQ(s.ReadString(), longest);
}

TEST(SysStream, StreamIsNotOwnedAndValuesGoAtItsPosition) {
  TMemoryStream ms(Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
  ms.SetPosition(1);
  {
    TSysStream s(ms);
    s.WriteWord(0x0102);
  }
  EXPECT_EQ(ms.Bytes(), (Bytes{0xEE, 0x02, 0x01, 0xEE, 0xEE}));
  EXPECT_EQ(ms.Position(), 3u);
  TSysStream s(ms);
  s.WriteInteger(0);  // overwrites two bytes and grows by two
  EXPECT_EQ(ms.Bytes(), (Bytes{0xEE, 0x02, 0x01, 0, 0, 0, 0}));
}

TEST(MemoryStream, SeekSizeAndBounds) {
  TMemoryStream ms(std::string_view("abcdef"));
  EXPECT_EQ(ms.Seek(-2, TSeekOrigin::soEnd), 4u);
  EXPECT_EQ(ms.Seek(1, TSeekOrigin::soCurrent), 5u);
  EXPECT_EQ(ms.Seek(0, TSeekOrigin::soBeginning), 0u);
  EXPECT_THROW(ms.Seek(-1, TSeekOrigin::soBeginning), Error);
  EXPECT_THROW(ms.Seek(1, TSeekOrigin::soEnd), Error);
  EXPECT_THROW(ms.Seek(INT64_MAX, TSeekOrigin::soCurrent), Error);
  EXPECT_THROW(ms.Seek(INT64_MIN, TSeekOrigin::soEnd), Error);

  char buf[8] = {};
  ms.SetPosition(4);
  EXPECT_EQ(ms.Read(buf, sizeof buf), 2u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  ms.SetSize(3);
  EXPECT_EQ(ms.Position(), 3u);
  ms.SetSize(5);
  EXPECT_EQ(ms.Bytes(), (Bytes{'a', 'b', 'c', 0, 0}));
  EXPECT_EQ(ms.TakeBytes().size(), 5u);
  EXPECT_EQ(ms.Size(), 0u);
  EXPECT_EQ(ms.Position(), 0u);
}

TEST(MemoryStream, FilesRoundTripAndMissingFileIsAnError) {
  const std::string path = ::testing::TempDir() + "memory_stream_test.bin";
  TMemoryStream out(Bytes{0, 1, 2, 0xFF});
  out.SaveToFile(path);
  TMemoryStream in(std::string_view("old"));
  in.Seek(0, TSeekOrigin::soEnd);
  in.LoadFromFile(path);
  EXPECT_EQ(in.Bytes(), (Bytes{0, 1, 2, 0xFF}));
  EXPECT_EQ(in.Position(), 0u);
  std::remove(path.c_str());
  EXPECT_THROW(in.LoadFromFile(path), Error);
}
