#pragma once
// The value rules of the formula language: operand groups, the arithmetic tables of + - * / ^ and the sign,
// and relations. They work on the evaluator's inside values (text as GBK) and report a refused operand pair
// by status; the parser turns a status into the language's error, or ignores it in a skipped IIF branch.
#include "sw/core/Variant.h"

namespace sw::expr {

enum ArithStatus { kArithOk = 0, kTypeMismatch, kDivideByZero };

// Empty or null.
bool IsBlank(const Variant& v);
// Any integer, real or currency value.
bool IsNumber(const Variant& v);
// A number or a logical value.
bool IsNumberLike(const Variant& v);
// The real value of a number-like value (a logical true counts 1, false 0).
double NumberValue(const Variant& v);

// Each operation replaces `l` by `l op r`. While `skipping`, the division neither divides nor checks its
// divisor; the other rules still report a mismatch and the caller ignores it.
ArithStatus Add(Variant& l, const Variant& r);
ArithStatus Subtract(Variant& l, const Variant& r);
ArithStatus Multiply(Variant& l, const Variant& r);
ArithStatus Divide(Variant& l, const Variant& r, bool skipping);
ArithStatus Power(Variant& l, const Variant& r);
ArithStatus Negate(Variant& v);

enum class RelOp { Contains, Equal, Greater, GreaterEqual, Less, LessEqual, NotEqual };

enum RelStatus { kRelOk = 0, kRelKindsDiffer, kRelBadOperand };

// Evaluates `l op r` into `result`. Numbers compare to four decimals; strings byte by byte, "$" testing
// whether r occurs in l without regard to letter case. While `skipping`, no status is reported and a relation
// that cannot be evaluated is false.
RelStatus Compare(const Variant& l, RelOp op, const Variant& r, bool skipping, bool& result);

}  // namespace sw::expr
