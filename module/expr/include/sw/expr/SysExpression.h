#pragma once
// TSysExpression: the evaluator of the one-line formula language. A formula names members of a data item (the
// fields or properties of the current record of a data set), built-in functions and variables. `Evaluate`
// computes one value; `Execute` runs a comma-separated list of assignments "name = expression".
//
// The language works on GBK bytes: string values inside the evaluator are GBK, so LEN counts bytes and
// MID/LEFT cut bytes. Every public edge speaks UTF-8: formula texts, variable values, results, error
// messages, and the names and values exchanged with data items.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Error.h"
#include "sw/core/Variant.h"

namespace sw {

class TSysExpression;
class TClientDataSet;

// The error type of the language: an exception that carries only its message (UTF-8).
class TExpErr : public Error {
 public:
  using Error::Error;
};

enum class TItemKind { Variable, Function, Data };

// Base of every item of the evaluator's item list: variables, functions and data items.
class TVCFItem {
 public:
  // The item records its owning evaluator. `name` is UTF-8.
  TVCFItem(TSysExpression& owner, std::string_view name, TItemKind kind);
  virtual ~TVCFItem() = default;
  TVCFItem(const TVCFItem&) = delete;
  TVCFItem& operator=(const TVCFItem&) = delete;

  // The item's value; the base yields null. Text values are GBK (the evaluator's inside form).
  virtual void GetValue(Variant& value);
  // The item's name (UTF-8).
  virtual std::string GetName() const;

  TItemKind Kind() const { return kind_; }
  TSysExpression& Owner() const { return owner_; }
  // The name as the language compares it: GBK bytes, matched without regard to letter case.
  const std::string& GbkName() const { return gbkName_; }

 private:
  TSysExpression& owner_;
  std::string gbkName_;
  TItemKind kind_;
};

// A variable: holds a value of its own; GetValue returns a copy.
class TVarItem : public TVCFItem {
 public:
  // `value` is given in the inside form (text as GBK).
  TVarItem(TSysExpression& owner, std::string_view name, Variant value);
  void GetValue(Variant& value) override { value = value_; }
  void SetValue(Variant value) { value_ = std::move(value); }

 private:
  Variant value_;
};

// A data item wraps a data set (not owned): its members are the fields or properties of the current record.
// The data layer derives `TDataSetItem` (a plain data set, named "DataSet") and `TDataObjItem` (an entity,
// named "C" + class id) from it. Names and text values cross this interface as UTF-8; the evaluator converts.
// A data item reports a failure of the language (no such member, closed or empty data set) with
// Owner().RaiseError(message) and reads Owner().Skipping() where its rules differ in a skipped IIF branch.
class TDataItem : public TVCFItem {
 public:
  TDataItem(TSysExpression& owner, std::string_view name) : TVCFItem(owner, name, TItemKind::Data) {}

  // Whether a member of that name (as written in the formula) exists.
  virtual bool FindMember(std::string_view name) = 0;
  // The member's value in the current record.
  virtual void GetMemberValue(std::string_view name, Variant& value) = 0;
  // Writes the member in the current record.
  virtual void SetMemberValue(std::string_view name, const Variant& value) = 0;
  // Whether the wrapped data set exists and is open; only open data sets are added to an evaluator.
  virtual bool IsOpen() const = 0;

  // Index of the item in its evaluator's item list (-1 before it is added).
  int Index() const { return index_; }

 private:
  friend class TSysExpression;
  int index_ = -1;
};

class TFunc;

class TSysExpression {
 public:
  // Registers the twenty built-in functions.
  TSysExpression();
  virtual ~TSysExpression();
  TSysExpression(const TSysExpression&) = delete;
  TSysExpression& operator=(const TSysExpression&) = delete;

  // Adds a data item when its data set is open, records its index and makes it the DefaultItem when there is
  // none yet; a closed data set adds nothing (the item is dropped). Returns the added item or nullptr.
  virtual TDataItem* AddDataItem(std::unique_ptr<TDataItem> item);
  // Adds a TDataSetItem named "DataSet" for a plain data set that exists and is open; `componentName` names
  // it in messages. A missing or closed data set adds nothing.
  virtual TDataItem* AddDataSet(TClientDataSet* dataSet, std::string_view componentName = "DataSet");
  // Appends a new variable (name and text value UTF-8); no check for an existing name.
  virtual void AddVariable(std::string_view name, const Variant& value);
  // Creates a function item of class F, whose static kClassName is "TF" + name, and appends it. The name is
  // the class name without "TF", upper case, at most 50 characters ("TFRound" gives "ROUND").
  template <class F>
  void AddFunction(std::string_view helpText, int argCount) {
    items_.push_back(std::make_unique<F>(*this, FunctionName(F::kClassName), helpText, argCount));
  }
  // Adds the twenty built-in functions in their fixed order. The constructor calls it.
  virtual void RegisterFunctions();

  // Evaluates one expression. True on success, `value` then holding the result (text as UTF-8); on failure
  // `value` is left as it was. Only errors of the language are caught; with `showErrors` they sound the beep
  // and show the message in a plain dialog first. Other failures (data layer) pass through.
  bool Evaluate(Variant& value, std::string_view text, bool showErrors = false);
  // Runs a list of assignments "name = expression", separated by commas. True when every assignment of the
  // text was carried out; assignments made before an error stay made.
  bool Execute(std::string_view text, bool showErrors = false);

  // Text of the last error raised (UTF-8), and its position: the number of characters before the reading
  // position at that moment, a double-byte character counting one.
  const std::string& LastError() const { return lastError_; }
  int ErrorPos() const { return errorPos_; }
  bool Skipping() const { return skipping_; }
  TDataItem* DefaultItem() const { return defaultItem_; }

  const std::vector<std::unique_ptr<TVCFItem>>& Items() const { return items_; }
  // The first item whose name equals `name` (UTF-8), ignoring letter case; nullptr when none.
  TVCFItem* FindItem(std::string_view name) const;
  // The value of the first variable of that name (text as UTF-8); false when there is no such variable.
  bool GetVariable(std::string_view name, Variant& value) const;

  // Stores the message in LastError, computes ErrorPos and raises a TExpErr. Data items use it for their
  // errors.
  [[noreturn]] void RaiseError(const std::string& message);

  // The deepest nesting of parentheses, signs, powers and function calls a formula may have.
  static constexpr int kMaxDepth = 200;
  // The longest token, in bytes.
  static constexpr std::size_t kMaxTokenBytes = 255;

 private:
  friend class TFunc;

  enum class TokenKind { Delimiter, Number, String, Mask, Item };
  struct Token {
    TokenKind kind = TokenKind::Delimiter;
    std::string text;  // GBK
    int item = -1;
  };

  static std::string FunctionName(std::string_view className);

  // Tokenizer.
  void Begin(std::string_view utf8Text);
  void NextToken();
  void PutBack() { pos_ = tokenStart_; }
  void ReadName();
  void AppendTokenByte(char c);
  bool IsDelimiter(std::string_view text) const {
    return token_.kind == TokenKind::Delimiter && token_.text == text;
  }
  bool IsValueToken() const { return token_.kind != TokenKind::Delimiter; }

  // Value grammar; each rule starts with its first token read and leaves the token after it read.
  Variant Expression();
  Variant Sum();
  Variant Product();
  Variant Power();
  Variant Signed();
  Variant Primary();
  Variant Value();

  // Condition grammar.
  bool Disjunction();
  bool Conjunction();
  bool Negation();
  bool Group();
  bool Relation();

  void Assign(const std::string& gbkName, const Variant& value);
  TVCFItem* FindItemGbk(std::string_view gbkName) const;
  void CheckArith(int status);
  void Report(const TExpErr& e, bool showErrors);

  // Counts the nesting depth for the lifetime of a rule and raises once it passes kMaxDepth.
  class DepthGuard {
   public:
    explicit DepthGuard(TSysExpression& e);
    ~DepthGuard() { --e_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    TSysExpression& e_;
  };

  std::vector<std::unique_ptr<TVCFItem>> items_;
  TDataItem* defaultItem_ = nullptr;
  std::string text_;  // GBK text under evaluation
  std::size_t pos_ = 0;
  std::size_t tokenStart_ = 0;
  Token token_;
  bool skipping_ = false;
  int depth_ = 0;
  std::string lastError_;
  int errorPos_ = 0;
};

}  // namespace sw
