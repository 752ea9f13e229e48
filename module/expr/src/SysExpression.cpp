#include "sw/expr/SysExpression.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "ExprArith.h"
#include "sw/common/MessageSink.h"
#include "sw/core/CodePage.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The evaluator holds text as GBK; ASCII text is the same in both code pages and is not converted.
std::string Utf8Of(std::string_view gbk) {
  return IsAscii(gbk) ? std::string(gbk) : GbkToUtf8(gbk);
}
std::string GbkOf(std::string_view utf8) {
  return IsAscii(utf8) ? std::string(utf8) : Utf8ToGbk(utf8);
}

Variant Inside(Variant v) {
  if (v.IsText() && !IsAscii(v.AsText())) return Variant(Utf8ToGbk(v.AsText()));
  return v;
}

Variant Outside(Variant v) {
  if (v.IsText() && !IsAscii(v.AsText())) return Variant(GbkToUtf8(v.AsText()));
  return v;
}

// What a byte starts when the tokenizer meets it.
enum CharClass : std::uint8_t { kStop, kDelimiter, kQuote, kMask, kDigit, kName };

constexpr std::array<CharClass, 256> MakeCharClasses() {
  std::array<CharClass, 256>
      t{};  // everything not named below stops the reading: controls, ! # ' . @ [ ] ` |
  for (unsigned char c : std::string_view("$%()*+,-/:<=>\\^{}~")) t[c] = kDelimiter;
  t['"'] = kQuote;
  t['&'] = kMask;
  t['?'] = kMask;
  for (int c = '0'; c <= '9'; ++c) t[c] = kDigit;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = kName;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = kName;
  t['_'] = kName;
  for (int c = 0xA0; c <= 0xFF; ++c) t[c] = kName;
  return t;
}

constexpr std::array<CharClass, 256> kCharClasses = MakeCharClasses();

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsMaskChar(unsigned char c) {
  return c == '&' || c == '?' || IsDigit(c);
}
bool IsNameChar(unsigned char c) {
  return kCharClasses[c] == kName || kCharClasses[c] == kDigit || c == '.';
}

}  // namespace

// ---- items ----

TVCFItem::TVCFItem(TSysExpression& owner, std::string_view name, TItemKind kind)
    : owner_(owner), gbkName_(GbkOf(name)), kind_(kind) {}

void TVCFItem::GetValue(Variant& value) {
  value = Variant::Null();
}

std::string TVCFItem::GetName() const {
  return Utf8Of(gbkName_);
}

TVarItem::TVarItem(TSysExpression& owner, std::string_view name, Variant value)
    : TVCFItem(owner, name, TItemKind::Variable), value_(std::move(value)) {}

// ---- evaluator ----

TSysExpression::TSysExpression() {
  TSysExpression::RegisterFunctions();
}

TSysExpression::~TSysExpression() = default;

TSysExpression::DepthGuard::DepthGuard(TSysExpression& e) : e_(e) {
  if (++e_.depth_ > kMaxDepth) {
    --e_.depth_;
    e_.RaiseError("表达式嵌套太深!!");
  }
}

std::string TSysExpression::FunctionName(std::string_view className) {
  if (className.size() >= 2 && SameText(className.substr(0, 2), "TF")) className.remove_prefix(2);
  return UpperCase(className.substr(0, 50));
}

TDataItem* TSysExpression::AddDataItem(std::unique_ptr<TDataItem> item) {
  if (!item || !item->IsOpen()) return nullptr;
  item->index_ = static_cast<int>(items_.size());
  TDataItem* added = item.get();
  items_.push_back(std::move(item));
  if (!defaultItem_) defaultItem_ = added;
  return added;
}

void TSysExpression::AddVariable(std::string_view name, const Variant& value) {
  items_.push_back(std::make_unique<TVarItem>(*this, name, Inside(value)));
}

TVCFItem* TSysExpression::FindItemGbk(std::string_view gbkName) const {
  for (const auto& item : items_) {
    if (SameText(item->GbkName(), gbkName)) return item.get();
  }
  return nullptr;
}

TVCFItem* TSysExpression::FindItem(std::string_view name) const {
  return FindItemGbk(GbkOf(name));
}

bool TSysExpression::GetVariable(std::string_view name, Variant& value) const {
  std::string gbk = GbkOf(name);
  for (const auto& item : items_) {
    if (item->Kind() == TItemKind::Variable && SameText(item->GbkName(), gbk)) {
      item->GetValue(value);
      value = Outside(std::move(value));
      return true;
    }
  }
  return false;
}

void TSysExpression::RaiseError(const std::string& message) {
  lastError_ = message;
  errorPos_ = static_cast<int>(GbkCharCount(std::string_view(text_).substr(0, std::min(pos_, text_.size()))));
  throw TExpErr(message);
}

void TSysExpression::Report(const TExpErr& e, bool showErrors) {
  if (!showErrors) return;
  MessageSink& sink = CurrentMessageSink();
  sink.Beep();
  sink.ShowMessage(e.what());
}

// ---- tokenizer ----

void TSysExpression::Begin(std::string_view utf8Text) {
  text_ = GbkOf(utf8Text);
  pos_ = 0;
  tokenStart_ = 0;
  token_ = Token{};
  skipping_ = false;
  depth_ = 0;
}

void TSysExpression::AppendTokenByte(char c) {
  if (token_.text.size() >= kMaxTokenBytes) RaiseError("单词长度超过255个字节!!");
  token_.text.push_back(c);
}

void TSysExpression::NextToken() {
  token_.item = -1;
  token_.kind = TokenKind::Delimiter;
  token_.text.clear();
  const std::size_t n = text_.size();
  while (pos_ < n && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n')) ++pos_;
  if (pos_ < n && text_[pos_] == ';') pos_ = n;  // a comment runs to the end of the text
  tokenStart_ = pos_;
  if (pos_ >= n) return;
  const auto c = static_cast<unsigned char>(text_[pos_]);
  switch (kCharClasses[c]) {
    case kStop:
      return;
    case kDelimiter:
      token_.text.assign(1, static_cast<char>(c));
      ++pos_;
      return;
    case kQuote:
      token_.kind = TokenKind::String;
      ++pos_;
      while (pos_ < n && text_[pos_] != '"') {
        if (text_[pos_] != '\n') AppendTokenByte(text_[pos_]);
        ++pos_;
      }
      if (pos_ < n) ++pos_;  // the closing quote
      return;
    case kDigit: {
      token_.kind = TokenKind::Number;
      bool dot = false;
      while (pos_ < n) {
        const auto d = static_cast<unsigned char>(text_[pos_]);
        if (d == '.' && !dot) {
          dot = true;
        } else if (!IsDigit(d)) {
          break;
        }
        AppendTokenByte(static_cast<char>(d));
        ++pos_;
      }
      if (dot || pos_ >= n || (text_[pos_] != '&' && text_[pos_] != '?')) return;
      [[fallthrough]];  // digits followed by "&" or "?" form a mask
    }
    case kMask:
      token_.kind = TokenKind::Mask;
      while (pos_ < n && IsMaskChar(static_cast<unsigned char>(text_[pos_]))) AppendTokenByte(text_[pos_++]);
      return;
    case kName:
      ReadName();
      return;
  }
}

void TSysExpression::ReadName() {
  const std::size_t n = text_.size();
  while (pos_ < n && IsNameChar(static_cast<unsigned char>(text_[pos_]))) AppendTokenByte(text_[pos_++]);
  const std::string& name = token_.text;
  if (name.size() <= 3) {
    std::string upper = UpperCase(name);
    if (upper == "OR" || upper == "AND" || upper == "NOT") return;  // a delimiter, written as it stands
  }
  token_.kind = TokenKind::Item;
  if (defaultItem_ && defaultItem_->FindMember(Utf8Of(name))) {
    token_.item = defaultItem_->Index();
    return;
  }
  // In an IIF branch that is not taken, a dotted name is taken as a member of the default item unread.
  if (skipping_ && defaultItem_ && name.find('.') != std::string::npos) {
    token_.item = defaultItem_->Index();
    return;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (SameText(items_[i]->GbkName(), name)) {
      token_.item = static_cast<int>(i);
      return;
    }
  }
  RaiseError("没有定义变量[" + Utf8Of(name) + "]!!");
}

// ---- value grammar ----

void TSysExpression::CheckArith(int status) {
  if (status == expr::kDivideByZero) RaiseError("除数为零!!");
  if (status == expr::kTypeMismatch && !skipping_) RaiseError("运算数据类型不匹配!!");
}

Variant TSysExpression::Expression() {
  if (token_.text.empty() && token_.kind != TokenKind::String) RaiseError("语法错误!!");
  Variant v = Sum();
  PutBack();
  return v;
}

Variant TSysExpression::Sum() {
  Variant v = Product();
  while (IsDelimiter("+") || IsDelimiter("-")) {
    const bool minus = token_.text[0] == '-';
    NextToken();
    // "--" is no double negation: a sign may not follow a minus operator.
    if (minus && IsDelimiter("-")) RaiseError("语法错误!!");
    Variant r = Product();
    CheckArith(minus ? expr::Subtract(v, r) : expr::Add(v, r));
  }
  return v;
}

Variant TSysExpression::Product() {
  Variant v = Power();
  while (IsDelimiter("*") || IsDelimiter("/")) {
    const bool divide = token_.text[0] == '/';
    NextToken();
    Variant r = Power();
    CheckArith(divide ? expr::Divide(v, r, skipping_) : expr::Multiply(v, r));
  }
  return v;
}

Variant TSysExpression::Power() {
  DepthGuard guard(*this);
  Variant v = Signed();
  if (IsDelimiter("^")) {
    NextToken();
    Variant r = Power();
    CheckArith(expr::Power(v, r));
  }
  return v;
}

Variant TSysExpression::Signed() {
  if (IsDelimiter("+") || IsDelimiter("-")) {
    const bool minus = token_.text[0] == '-';
    NextToken();
    Variant v = Primary();
    if (minus) CheckArith(expr::Negate(v));
    return v;
  }
  return Primary();
}

Variant TSysExpression::Primary() {
  if (!IsDelimiter("(")) return Value();
  NextToken();
  Variant v = Sum();
  if (!IsDelimiter(")")) RaiseError("括号不配对!!");
  NextToken();
  return v;
}

Variant TSysExpression::Value() {
  Variant v;
  switch (token_.kind) {
    case TokenKind::Number:
      if (token_.text.find('.') != std::string::npos) {
        v = Variant(TryStrToFloat(token_.text).value_or(0.0));
      } else {
        v = Variant(TryStrToInt64(token_.text).value_or(0));  // too large for 64 bits: 0
      }
      break;
    case TokenKind::String:
    case TokenKind::Mask:
      v = Variant(token_.text);
      break;
    case TokenKind::Item: {
      TVCFItem& item = *items_[static_cast<std::size_t>(token_.item)];
      if (item.Kind() == TItemKind::Data) {
        const std::string name = Utf8Of(token_.text);
        static_cast<TDataItem&>(item).GetMemberValue(name, v);
        v = Inside(std::move(v));
      } else {
        item.GetValue(v);
      }
      break;
    }
    case TokenKind::Delimiter:
      RaiseError("语法错误!!");
  }
  NextToken();
  return v;
}

// ---- conditions ----

bool TSysExpression::Disjunction() {
  bool c = Conjunction();
  while (IsDelimiter("OR")) {
    NextToken();
    const bool r = Conjunction();  // both sides are always evaluated
    c = c || r;
  }
  return c;
}

bool TSysExpression::Conjunction() {
  bool c = Negation();
  while (IsDelimiter("AND")) {
    NextToken();
    const bool r = Negation();
    c = c && r;
  }
  return c;
}

bool TSysExpression::Negation() {
  if (!IsDelimiter("NOT")) return Group();
  NextToken();
  return !Group();
}

bool TSysExpression::Group() {
  DepthGuard guard(*this);
  if (!IsDelimiter("(")) return Relation();
  NextToken();
  const bool c = Disjunction();
  if (!IsDelimiter(")")) RaiseError("括号不配对!!");
  NextToken();
  return c;
}

bool TSysExpression::Relation() {
  Variant l = Expression();
  NextToken();
  expr::RelOp op = expr::RelOp::Equal;
  const bool more = pos_ < text_.size();
  if (IsDelimiter("$")) {
    op = expr::RelOp::Contains;
  } else if (IsDelimiter("=")) {
    op = expr::RelOp::Equal;
  } else if (IsDelimiter("<")) {
    // The second character of "<=" and "<>" follows without a blank.
    if (more && text_[pos_] == '=') {
      op = expr::RelOp::LessEqual;
      token_.text.push_back(text_[pos_++]);
    } else if (more && text_[pos_] == '>') {
      op = expr::RelOp::NotEqual;
      token_.text.push_back(text_[pos_++]);
    } else {
      op = expr::RelOp::Less;
    }
  } else if (IsDelimiter(">")) {
    if (more && text_[pos_] == '=') {
      op = expr::RelOp::GreaterEqual;
      token_.text.push_back(text_[pos_++]);
    } else {
      op = expr::RelOp::Greater;
    }
  } else {
    RaiseError("布尔表达式错误!!");
  }
  NextToken();
  Variant r = Expression();
  NextToken();
  bool result = false;
  switch (expr::Compare(l, op, r, skipping_, result)) {
    case expr::kRelKindsDiffer:
      RaiseError("关系式两边的表达式类型不一致!!");
    case expr::kRelBadOperand:
      RaiseError("关系式或关系运算符有错误!!");
    case expr::kRelOk:
      break;
  }
  return result;
}

// ---- entry points ----

bool TSysExpression::Evaluate(Variant& value, std::string_view text, bool showErrors) {
  try {
    Begin(text);
    NextToken();
    Variant result;
    if (IsValueToken()) result = Expression();
    if (!token_.text.empty()) RaiseError("语法错误!!");
    value = Outside(std::move(result));
    return true;
  } catch (const TExpErr& e) {
    Report(e, showErrors);
    return false;
  }
}

bool TSysExpression::Execute(std::string_view text, bool showErrors) {
  try {
    Begin(text);
    for (;;) {
      NextToken();
      if (token_.kind == TokenKind::Delimiter) return true;  // end of text, operator or keyword
      const std::string target = token_.text;
      NextToken();
      if (!IsDelimiter("=")) RaiseError("缺少赋值符号\"=\"!");
      NextToken();
      Variant v = Expression();
      Assign(target, v);
      // The token after an assignment is consumed: a "," or a value goes on with the next assignment.
      NextToken();
      if (!IsDelimiter(",") && !IsValueToken()) return true;
    }
  } catch (const TExpErr& e) {
    Report(e, showErrors);
    return false;
  }
}

void TSysExpression::Assign(const std::string& gbkName, const Variant& value) {
  TVCFItem* item = nullptr;
  const std::size_t dot = gbkName.find('.');
  if (dot != std::string::npos) {
    item = FindItemGbk(std::string_view(gbkName).substr(0, dot));
    // A dotted name whose prefix names no item is a variable of that dotted name: reuse one already made, so
    // that a second assignment is not lost behind the first.
    if (!item) {
      TVCFItem* same = FindItemGbk(gbkName);
      if (same && same->Kind() == TItemKind::Variable) item = same;
    }
  } else if (defaultItem_ && defaultItem_->FindMember(Utf8Of(gbkName))) {
    item = defaultItem_;
  } else {
    item = FindItemGbk(gbkName);
  }
  if (!item) {
    items_.push_back(std::make_unique<TVarItem>(*this, Utf8Of(gbkName), value));
    return;
  }
  switch (item->Kind()) {
    case TItemKind::Variable:
      static_cast<TVarItem*>(item)->SetValue(value);
      break;
    case TItemKind::Data:
      static_cast<TDataItem*>(item)->SetMemberValue(Utf8Of(gbkName), Outside(value));
      break;
    case TItemKind::Function:
      RaiseError("\"" + Utf8Of(gbkName) + "\"是一个关键字不能作为内存变量使用!!");
  }
}

}  // namespace sw
