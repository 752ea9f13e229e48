// staffwatch-cli eval FORMULA: evaluates one formula with TSysExpression::Evaluate (no data item) and prints
// the value's kind and the value, or the error message and its position.
#include <ostream>

#include "Cli.h"
#include "sw/core/DateTime.h"
#include "sw/core/Text.h"
#include "sw/expr/SysExpression.h"

namespace {

std::string ValueText(const sw::Variant& v) {
  switch (v.Type()) {
    case sw::VarType::Empty:
      return "";
    case sw::VarType::Null:
      return "Null";
    case sw::VarType::Double:
      return sw::FloatToStr(v.ToDouble());
    case sw::VarType::Date:
      return sw::DateTimeToStr(v.ToDouble()) + " (" + sw::FloatToStr(v.ToDouble()) + ")";
    case sw::VarType::Boolean:
      return v.ToBool() ? "True" : "False";
    default:
      return v.ToString();
  }
}

int RunEval(sw::cli::CliContext& ctx) {
  if (ctx.args.empty()) {
    ctx.err << "usage: staffwatch-cli eval FORMULA\n";
    return sw::cli::kExitUsage;
  }
  // Several arguments are one formula written without quotes: eval 1 + 2.
  const std::string formula = sw::Join(ctx.args, " ");
  sw::TSysExpression expression;
  sw::Variant value;
  if (!expression.Evaluate(value, formula)) {
    ctx.err << "error: " << expression.LastError() << " (ErrorPos " << expression.ErrorPos() << ")\n";
    return sw::cli::kExitFailure;
  }
  ctx.out << sw::VarTypeName(value.Type()) << ": " << ValueText(value) << "\n";
  return sw::cli::kExitOk;
}

sw::cli::CliCommand reg{
    "eval", "eval FORMULA",
    "evaluates a formula and prints the kind and value of its result, or the error and its "
    "position (exit 1)",
    &RunEval};

}  // namespace
