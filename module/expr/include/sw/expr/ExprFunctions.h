#pragma once
// The built-in functions of the formula language. A function item is followed in a formula by a parenthesised
// argument list that the function reads itself with the evaluator's parser.
#include <cstdint>
#include <string>
#include <string_view>

#include "sw/core/DateTime.h"
#include "sw/expr/SysExpression.h"

namespace sw {

class TFunc : public TVCFItem {
 public:
  TFunc(TSysExpression& owner, std::string_view name, std::string_view helpText, int argCount);

  // The call protocol: "(" , at least one token of arguments, Calculate, ")". Returns with the ")" current.
  void GetValue(Variant& value) override;
  // Reads the arguments and computes the value (text as GBK); leaves the token after the last argument
  // current.
  virtual void Calculate(Variant& value);

  // One line describing the function (UTF-8), and the nominal argument count (not checked).
  const std::string& HelpText() const { return helpText_; }
  int ArgCount() const { return argCount_; }

 protected:
  // Argument readers; each starts at the current token.
  // A sum whose value must be number-like.
  Variant ReadNumArg();
  // A sum whose value must be a string (GBK bytes).
  std::string ReadStrArg();
  // Called with "," current: the next sum, rounded to a whole number that must fit 32 bits; 0 when the value
  // is not number-like.
  std::int32_t ReadIntArg();
  // Nothing (")" current): today and offset 0; a date: that date and offset 0; a number: today and the number
  // cut toward zero as the offset.
  void ReadDateBase(TDateTime& base, std::int32_t& offset);

  // The condition of IIF, starting at the current token.
  bool ReadCondition();
  // Called with "," current: reads the next token and parses a sum, both with Skipping on when `skip` (or
  // already on); the previous setting is restored afterwards, also when an error passes.
  Variant SumSkipping(bool skip);

  bool AtDelimiter(std::string_view text) const;
  void Next();
  Variant Sum();
  bool Skipping() const { return Owner().Skipping(); }
  [[noreturn]] void Fail(const std::string& message) const;
  // "函数[" + NAME + "]" + tail.
  [[noreturn]] void FailWith(std::string_view tail) const;
  // A date from a base and an offset, refused as a wrong date when it falls outside the years 1 to 9999.
  TDateTime CheckedDate(double value) const;

 private:
  std::string helpText_;
  int argCount_;
};

#define SW_EXPR_FUNCTION(Class)                       \
  class Class : public TFunc {                        \
   public:                                            \
    static constexpr const char* kClassName = #Class; \
    using TFunc::TFunc;                               \
    void Calculate(Variant& value) override;          \
  }

SW_EXPR_FUNCTION(TFAbs);
SW_EXPR_FUNCTION(TFInt);
SW_EXPR_FUNCTION(TFStr);
SW_EXPR_FUNCTION(TFRound);
SW_EXPR_FUNCTION(TFDate);
SW_EXPR_FUNCTION(TFTime);
SW_EXPR_FUNCTION(TFYear);
SW_EXPR_FUNCTION(TFMonth);
SW_EXPR_FUNCTION(TFDay);
SW_EXPR_FUNCTION(TFCToD);
SW_EXPR_FUNCTION(TFDToC);
SW_EXPR_FUNCTION(TFLen);
SW_EXPR_FUNCTION(TFVal);
SW_EXPR_FUNCTION(TFMid);
SW_EXPR_FUNCTION(TFLeft);
SW_EXPR_FUNCTION(TFRight);
SW_EXPR_FUNCTION(TFTrim);
SW_EXPR_FUNCTION(TFLTrim);
SW_EXPR_FUNCTION(TFRTrim);
SW_EXPR_FUNCTION(TFIIF);

#undef SW_EXPR_FUNCTION

}  // namespace sw
