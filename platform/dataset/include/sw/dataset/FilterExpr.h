#pragma once
// Filter expressions of the client data set: comparisons (= <> != < > <= >=) between field names, quoted
// texts and numbers, "is null" / "is not null", joined with and/or/not and parentheses. Keywords and field
// names are matched without regard to case; a field name may stand in square brackets. A malformed expression
// or an unknown field raises sw::Error when it is parsed.
//
//   ClassID=5    DefValue='1'    PluId='7' and OrgCode='01' or PluId='8' and OrgCode='01'    Qty > 5
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sw/dataset/ColumnTable.h"

namespace sw {

class FilterExpr {
 public:
  struct Node;
  // Parses `text` against the columns of `table`.
  FilterExpr(std::string_view text, const ColumnTable& table);
  ~FilterExpr();
  FilterExpr(FilterExpr&&) noexcept;
  FilterExpr& operator=(FilterExpr&&) noexcept;

  // Whether `row` of the table satisfies the expression. A comparison with a null value is false; texts are
  // compared byte-wise, or without regard to ASCII letter case when `caseInsensitive`.
  bool Matches(const ColumnTable& table, std::uint32_t row, bool caseInsensitive) const;
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  std::unique_ptr<Node> root_;
};

}  // namespace sw
