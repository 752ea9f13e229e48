// Decoding of workflow blocks and the two notifications of the workflow menu interface.
#include "sw/workflow/WflMenuInterface.h"

#include <algorithm>

#include "sw/core/CodePage.h"
#include "sw/core/Error.h"

namespace sw {

TWflBlock TWflMenuInterface::DecodeWflBlock(const Variant& data) {
  TWflBlock block{};
  if (data.IsBytes()) {
    const std::vector<std::uint8_t>& bytes = data.AsBytes().bytes;
    std::copy_n(bytes.begin(), std::min(bytes.size(), block.size()), block.begin());
    return block;
  }
  if (data.IsArray()) {
    const std::vector<Variant>& items = data.AsArray().items;
    for (std::size_t i = 0; i < items.size() && i < block.size(); ++i) {
      const std::int64_t v = items[i].ToInt64();
      if (v < 0 || v > 255)
        throw Error("Element " + std::to_string(i) + " of the workflow block is not a byte");
      block[i] = static_cast<std::uint8_t>(v);
    }
    return block;
  }
  throw Error("The workflow block is not a byte array");
}

void TWflMenuInterface::WflData(const TWflData& data) {
  if (OnWflData) OnWflData(*this, data);
}

void TWflMenuInterface::WflState(int a, int b, int c) {
  if (OnWflState) OnWflState(*this, a, b, c);
}

std::string WflCondition(const TWflBlock& block) {
  const std::size_t start = kWflConditionOffset + 1;
  const std::size_t length = std::min<std::size_t>(block[kWflConditionOffset], block.size() - start);
  return GbkToUtf8(std::string(reinterpret_cast<const char*>(block.data()) + start, length));
}

}  // namespace sw
