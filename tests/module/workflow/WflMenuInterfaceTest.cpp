// Workflow blocks: the condition at offset 46, blocks of every length, and the two notifications.
#include <gtest/gtest.h>

#include "sw/core/CodePage.h"
#include "sw/core/Error.h"
#include "sw/workflow/WflMenuInterface.h"

namespace sw {
namespace {

// A byte array of `size` bytes (each its index modulo 7 plus 1) with `condition` (UTF-8) at offset 46.
Variant Block(std::size_t size, const std::string& condition, std::int32_t low = 0) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 7 + 1);
  const std::string gbk = Utf8ToGbk(condition);
  if (size > kWflConditionOffset) bytes[kWflConditionOffset] = static_cast<std::uint8_t>(gbk.size());
  for (std::size_t i = 0; i < gbk.size() && kWflConditionOffset + 1 + i < size; ++i)
    bytes[kWflConditionOffset + 1 + i] = static_cast<std::uint8_t>(gbk[i]);
  return Variant::Bytes(std::move(bytes), low);
}

TEST(WflMenuInterfaceTest, ConditionAndBlockLengths) {
  struct Case {
    const char* name;
    Variant data;
    std::string condition;
    std::size_t suppliedBytes;  // bytes taken from the array; the rest of the block is zero
  };
  const std::vector<Case> cases = {
      {"exact 272 bytes", Block(272, "BillNo='A01'"), "BillNo='A01'", 272},
      {"length byte 0", Block(272, ""), "", 272},
      {"Chinese condition", Block(272, "单号='甲1'"), "单号='甲1'", 272},
      {"longer array is cut", Block(400, "x=1"), "x=1", 272},
      {"lower bound 1", Block(300, "y=2", 1), "y=2", 272},
      {"shorter array fills part", Block(60, "k=9"), "k=9", 60},
      {"too short for the condition", Block(30, ""), "", 30},
      {"empty array", Variant::Bytes(std::vector<std::uint8_t>{}), "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TWflBlock block = TWflMenuInterface::DecodeWflBlock(c.data);
    EXPECT_EQ(WflCondition(block), c.condition);
    const auto& bytes = c.data.AsBytes().bytes;
    for (std::size_t i = 0; i < kWflBlockSize; ++i)
      ASSERT_EQ(block[i], i < c.suppliedBytes ? bytes[i] : 0) << "byte " << i;
  }
}

TEST(WflMenuInterfaceTest, LengthRunningPastTheBlockIsCut) {
  std::vector<std::uint8_t> bytes(272, 'a');
  bytes[kWflConditionOffset] = 255;  // 46 + 1 + 255 would pass the end of the block
  EXPECT_EQ(WflCondition(TWflMenuInterface::DecodeWflBlock(Variant::Bytes(bytes))),
            std::string(272 - kWflConditionOffset - 1, 'a'));
}

TEST(WflMenuInterfaceTest, VariantArraysAndBadInput) {
  const TWflBlock block =
      TWflMenuInterface::DecodeWflBlock(Variant::Array({std::int32_t{9}, std::int16_t{200}}, 0));
  EXPECT_EQ(block[0], 9);
  EXPECT_EQ(block[1], 200);
  EXPECT_EQ(block[2], 0);
  EXPECT_THROW(TWflMenuInterface::DecodeWflBlock(Variant("text")), Error);
  EXPECT_THROW(TWflMenuInterface::DecodeWflBlock(Variant()), Error);
  EXPECT_THROW(TWflMenuInterface::DecodeWflBlock(Variant::Array({std::int32_t{256}}, 0)), Error);
}

TEST(WflMenuInterfaceTest, NotificationsCallTheirEventsWhenAssigned) {
  TWflMenuInterface wfl;
  wfl.WflData(TWflData{});  // unassigned: nothing happens
  wfl.WflState(1, 2, 3);
  std::string seen;
  wfl.OnWflData = [&](TWflMenuInterface& sender, const TWflData& d) {
    EXPECT_EQ(&sender, &wfl);
    seen += "data:" + d.Text1 + "," + d.Text3 + ";";
  };
  wfl.OnWflState = [&](TWflMenuInterface& sender, int a, int b, int c) {
    EXPECT_EQ(&sender, &wfl);
    seen += "state:" + std::to_string(a) + std::to_string(b) + std::to_string(c) + ";";
  };
  TWflData d;
  d.Text1 = "task";
  d.Text3 = "步骤";
  wfl.WflData(d);
  wfl.WflState(4, 5, 6);
  EXPECT_EQ(seen, "data:task,步骤;state:456;");
}

}  // namespace
}  // namespace sw
