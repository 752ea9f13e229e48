#pragma once
// The workflow menu interface: the host's workflow module hands a screen a 272-byte workflow block (the task
// that opened it) and may notify screens through this component. The module itself only decodes blocks.
//
//   TWflBlock block = TWflMenuInterface::DecodeWflBlock(variantFromHost);
//   std::string condition = WflCondition(block);
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sw/core/Variant.h"

namespace sw {

inline constexpr std::size_t kWflBlockSize = 272;
// Offset of the workflow condition: a length byte, then that many GBK bytes.
inline constexpr std::size_t kWflConditionOffset = 46;

using TWflBlock = std::array<std::uint8_t, kWflBlockSize>;

// The record of the first notification. Its texts and plain fields are defined by the host's workflow module;
// this module passes them on without reading them.
struct TWflData {
  std::string Text1;
  std::string Text2;
  std::int32_t Value1 = 0;
  std::int32_t Value2 = 0;
  std::string Text3;
  std::int32_t Value3 = 0;
  std::int32_t Value4 = 0;
  std::int32_t Value5 = 0;
};

class TWflMenuInterface;
using TWflDataEvent = std::function<void(TWflMenuInterface& sender, const TWflData& data)>;
using TWflStateEvent = std::function<void(TWflMenuInterface& sender, int a, int b, int c)>;

class TWflMenuInterface {
 public:
  TWflMenuInterface() = default;
  TWflMenuInterface(const TWflMenuInterface&) = delete;
  TWflMenuInterface& operator=(const TWflMenuInterface&) = delete;
  virtual ~TWflMenuInterface() = default;

  // The first 272 bytes of a byte array (any lower bound); a shorter array leaves the rest zero. A variant
  // array of integers 0..255 is read the same way. Anything else raises sw::Error.
  static TWflBlock DecodeWflBlock(const Variant& data);

  // Notification 1: calls OnWflData when assigned.
  virtual void WflData(const TWflData& data);
  // Notification 2: calls OnWflState when assigned.
  virtual void WflState(int a, int b, int c);

  TWflDataEvent OnWflData;
  TWflStateEvent OnWflState;
};

// The workflow condition of a block, as UTF-8: the short text at offset 46. A length that runs past the end
// of the block is cut at the end of the block.
std::string WflCondition(const TWflBlock& block);

}  // namespace sw
