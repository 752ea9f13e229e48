#include "sw/dataset/FilterExpr.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

namespace {

enum class Tok { End, Ident, Text, Number, LParen, RParen, Op, And, Or, Not, Is, Null };
enum class Cmp { Eq, Ne, Lt, Gt, Le, Ge };

struct Token {
  Tok kind = Tok::End;
  std::string text;
  std::size_t pos = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token Next() {
    while (i_ < s_.size() && static_cast<unsigned char>(s_[i_]) <= 32) ++i_;
    Token t;
    t.pos = i_;
    if (i_ >= s_.size()) return t;
    char c = s_[i_];
    if (c == '(' || c == ')') {
      ++i_;
      t.kind = c == '(' ? Tok::LParen : Tok::RParen;
      return t;
    }
    if (c == '\'' || c == '"') {
      ++i_;
      while (true) {
        if (i_ >= s_.size())
          throw Error("Filter text has an unterminated quoted text at position " + Pos(t.pos));
        if (s_[i_] == c) {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == c) {
            t.text += c;
            i_ += 2;
            continue;
          }
          ++i_;
          break;
        }
        t.text += s_[i_++];
      }
      t.kind = Tok::Text;
      return t;
    }
    if (c == '[') {
      std::size_t end = s_.find(']', i_);
      if (end == std::string_view::npos)
        throw Error("Filter text has an unterminated field name in brackets");
      t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
      i_ = end + 1;
      t.kind = Tok::Ident;
      return t;
    }
    if (c == '=' || c == '<' || c == '>' || c == '!') {
      t.kind = Tok::Op;
      t.text = c;
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '=' || (c == '<' && s_[i_] == '>'))) t.text += s_[i_++];
      if (t.text == "!") throw Error("Filter text has an unknown operator '!' at position " + Pos(t.pos));
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      std::size_t start = i_++;
      while (i_ < s_.size() &&
             (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' || s_[i_] == 'e' ||
              s_[i_] == 'E' ||
              ((s_[i_] == '-' || s_[i_] == '+') && (s_[i_ - 1] == 'e' || s_[i_ - 1] == 'E')))) {
        ++i_;
      }
      t.text = std::string(s_.substr(start, i_ - start));
      if (!TryStrToFloat(t.text)) throw Error("Filter text has a malformed number '" + t.text + "'");
      t.kind = Tok::Number;
      return t;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
      std::size_t start = i_;
      while (i_ < s_.size() &&
             (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' || s_[i_] == '$' ||
              s_[i_] == '.' || static_cast<unsigned char>(s_[i_]) >= 0x80)) {
        ++i_;
      }
      t.text = std::string(s_.substr(start, i_ - start));
      if (SameText(t.text, "and")) {
        t.kind = Tok::And;
      } else if (SameText(t.text, "or")) {
        t.kind = Tok::Or;
      } else if (SameText(t.text, "not")) {
        t.kind = Tok::Not;
      } else if (SameText(t.text, "is")) {
        t.kind = Tok::Is;
      } else if (SameText(t.text, "null")) {
        t.kind = Tok::Null;
      } else {
        t.kind = Tok::Ident;
      }
      return t;
    }
    throw Error(std::string("Filter text has an unexpected character '") + c + "' at position " + Pos(t.pos));
  }

 private:
  static std::string Pos(std::size_t p) { return IntToStr(static_cast<std::int64_t>(p + 1)); }
  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace

struct FilterExpr::Node {
  enum Kind { And, Or, Not, Compare, IsNull } kind = Compare;
  std::vector<std::unique_ptr<Node>> kids;  // And/Or: the terms of one chain; Not: the negated term
  int depth = 1;                            // levels of this subtree
  // Comparison operands: a field (index >= 0) or a literal.
  struct Operand {
    int field = -1;
    bool isNumber = false;
    double number = 0;
    std::string text;
  } left, right;
  Cmp op = Cmp::Eq;
  bool negate = false;  // "is not null"
};

namespace {

class Parser {
 public:
  Parser(std::string_view text, const ColumnTable& table) : lex_(text), table_(table) { Advance(); }

  std::unique_ptr<FilterExpr::Node> ParseAll() {
    if (cur_.kind == Tok::End) throw Error("Filter text is empty");
    auto n = ParseOr();
    if (cur_.kind != Tok::End) Fail("unexpected '" + Describe() + "'");
    return n;
  }

 private:
  using Node = FilterExpr::Node;

  void Advance() { cur_ = lex_.Next(); }
  [[noreturn]] void Fail(const std::string& what) {
    throw Error("Filter text is malformed at position " + IntToStr(static_cast<std::int64_t>(cur_.pos + 1)) +
                ": " + what);
  }
  std::string Describe() const {
    return cur_.kind == Tok::End ? "end of text" : (cur_.text.empty() ? "(" : cur_.text);
  }

  // A chain "x or y or z" is one node with three terms, so long lists of alternatives stay shallow.
  std::unique_ptr<Node> Group(Node::Kind k, std::vector<std::unique_ptr<Node>> kids) {
    if (kids.size() == 1 && k != Node::Not) return std::move(kids[0]);
    auto n = std::make_unique<Node>();
    n->kind = k;
    int deepest = 0;
    for (const auto& c : kids) deepest = std::max(deepest, c->depth);
    n->depth = 1 + deepest;
    // Evaluating and freeing the tree recurse over its levels; a bound keeps absurd texts from exhausting the
    // stack.
    if (n->depth > kMaxDepth) Fail("the expression is nested too deeply");
    n->kids = std::move(kids);
    return n;
  }

  std::unique_ptr<Node> ParseOr() {
    std::vector<std::unique_ptr<Node>> terms;
    terms.push_back(ParseAnd());
    while (cur_.kind == Tok::Or) {
      Advance();
      terms.push_back(ParseAnd());
    }
    return Group(Node::Or, std::move(terms));
  }

  std::unique_ptr<Node> ParseAnd() {
    std::vector<std::unique_ptr<Node>> terms;
    terms.push_back(ParseNot());
    while (cur_.kind == Tok::And) {
      Advance();
      terms.push_back(ParseNot());
    }
    return Group(Node::And, std::move(terms));
  }

  std::unique_ptr<Node> ParseNot() {
    if (++nesting_ > kMaxDepth) Fail("the expression is nested too deeply");
    struct Leave {
      int& n;
      ~Leave() { --n; }
    } leave{nesting_};
    if (cur_.kind == Tok::Not) {
      Advance();
      std::vector<std::unique_ptr<Node>> term;
      term.push_back(ParseNot());
      return Group(Node::Not, std::move(term));
    }
    if (cur_.kind == Tok::LParen) {
      Advance();
      auto n = ParseOr();
      if (cur_.kind != Tok::RParen) Fail("')' expected");
      Advance();
      return n;
    }
    return ParseComparison();
  }

  Node::Operand ParseOperand() {
    Node::Operand o;
    switch (cur_.kind) {
      case Tok::Ident:
        o.field = table_.IndexOf(cur_.text);
        if (o.field < 0) throw Error("Filter text names an unknown field '" + cur_.text + "'");
        break;
      case Tok::Text:
        o.text = cur_.text;
        break;
      case Tok::Number:
        o.isNumber = true;
        o.text = cur_.text;
        o.number = *TryStrToFloat(cur_.text);
        break;
      default:
        Fail("a field name, a quoted text or a number expected, found '" + Describe() + "'");
    }
    Advance();
    return o;
  }

  std::unique_ptr<Node> ParseComparison() {
    auto n = std::make_unique<Node>();
    n->left = ParseOperand();
    if (cur_.kind == Tok::Is) {
      if (n->left.field < 0) Fail("'is null' needs a field");
      Advance();
      n->kind = Node::IsNull;
      if (cur_.kind == Tok::Not) {
        n->negate = true;
        Advance();
      }
      if (cur_.kind != Tok::Null) Fail("'null' expected");
      Advance();
      return n;
    }
    if (cur_.kind != Tok::Op) Fail("a comparison operator expected, found '" + Describe() + "'");
    const std::string& op = cur_.text;
    if (op == "=" || op == "==") {
      n->op = Cmp::Eq;
    } else if (op == "<>" || op == "!=") {
      n->op = Cmp::Ne;
    } else if (op == "<") {
      n->op = Cmp::Lt;
    } else if (op == ">") {
      n->op = Cmp::Gt;
    } else if (op == "<=") {
      n->op = Cmp::Le;
    } else if (op == ">=") {
      n->op = Cmp::Ge;
    } else {
      Fail("unknown operator '" + op + "'");
    }
    Advance();
    n->right = ParseOperand();
    return n;
  }

  static constexpr int kMaxDepth = 200;
  Lexer lex_;
  int nesting_ = 0;
  const ColumnTable& table_;
  Token cur_;
};

// A value taken for comparison: a number (numeric, date, boolean fields and number literals) or a text.
struct Val {
  bool null = false;
  bool isNumber = false;
  double number = 0;
  std::string_view text;
};

Val FieldVal(const ColumnTable& t, int field, std::uint32_t row) {
  Val v;
  const Column& c = t.Col(static_cast<std::size_t>(field));
  if (c.IsNull(row)) {
    v.null = true;
    return v;
  }
  switch (c.Storage()) {
    case TStorage::Bytes:
      v.text = c.GetBytes(row);
      break;
    case TStorage::Float64:
      v.isNumber = true;
      v.number = c.GetFloat(row);
      break;
    default:
      v.isNumber = true;
      v.number = static_cast<double>(c.GetInt(row));
      if (c.Type() == TFieldType::ftCurrency || c.Type() == TFieldType::ftBCD) v.number /= 10000.0;
      if (c.Type() == TFieldType::ftTime) v.number /= 86400000.0;
      break;
  }
  return v;
}

// A literal compared with a field takes the field's kind once, when the filter is parsed: a text against a
// numeric or date field is read as a number or date (raising sw::Error when it is not one); a number against
// a text field is compared as its text.
void ConvertLiteral(FilterExpr::Node::Operand& lit, const Column& against) {
  if (against.Storage() == TStorage::Bytes) {
    lit.isNumber = false;  // lit.text already holds the literal as written
    return;
  }
  if (lit.isNumber) return;
  TFieldType t = against.Type();
  if (IsDateTimeFieldType(t)) {
    auto d = TryStrToDateTime(lit.text);
    if (!d) throw Error("Filter text compares a date field with '" + lit.text + "', which is not a date");
    lit.number = *d;
  } else if (t == TFieldType::ftBoolean) {
    lit.number = Variant(lit.text).ToBool() ? 1 : 0;
  } else {
    auto d = TryStrToFloat(lit.text);
    if (!d)
      throw Error("Filter text compares a numeric field with '" + lit.text + "', which is not a number");
    lit.number = *d;
  }
  lit.isNumber = true;
}

Val LiteralVal(const FilterExpr::Node::Operand& lit) {
  Val v;
  v.isNumber = lit.isNumber;
  v.number = lit.number;
  v.text = lit.text;
  return v;
}

bool Apply(Cmp op, int c) {
  switch (op) {
    case Cmp::Eq:
      return c == 0;
    case Cmp::Ne:
      return c != 0;
    case Cmp::Lt:
      return c < 0;
    case Cmp::Gt:
      return c > 0;
    case Cmp::Le:
      return c <= 0;
    case Cmp::Ge:
      return c >= 0;
  }
  return false;
}

bool Eval(const FilterExpr::Node& n, const ColumnTable& t, std::uint32_t row, bool ci) {
  using Node = FilterExpr::Node;
  switch (n.kind) {
    case Node::And:
      return std::all_of(n.kids.begin(), n.kids.end(), [&](const auto& k) { return Eval(*k, t, row, ci); });
    case Node::Or:
      return std::any_of(n.kids.begin(), n.kids.end(), [&](const auto& k) { return Eval(*k, t, row, ci); });
    case Node::Not:
      return !Eval(*n.kids[0], t, row, ci);
    case Node::IsNull:
      return t.Col(static_cast<std::size_t>(n.left.field)).IsNull(row) != n.negate;
    case Node::Compare:
      break;
  }
  Val l = n.left.field >= 0 ? FieldVal(t, n.left.field, row) : LiteralVal(n.left);
  Val r = n.right.field >= 0 ? FieldVal(t, n.right.field, row) : LiteralVal(n.right);
  if (l.null || r.null) return false;
  int c;
  if (l.isNumber && r.isNumber) {
    c = l.number < r.number ? -1 : (l.number > r.number ? 1 : 0);
  } else if (!l.isNumber && !r.isNumber) {
    c = ci ? CompareText(l.text, r.text) : CompareStr(l.text, r.text);
  } else {
    std::string ls = l.isNumber ? FloatToStr(l.number) : std::string(l.text);
    std::string rs = r.isNumber ? FloatToStr(r.number) : std::string(r.text);
    c = ci ? CompareText(ls, rs) : CompareStr(ls, rs);
  }
  return Apply(n.op, c);
}

void ConvertLiterals(FilterExpr::Node& n, const ColumnTable& t) {
  using Node = FilterExpr::Node;
  for (auto& k : n.kids) ConvertLiterals(*k, t);
  if (n.kind != Node::Compare) return;
  if (n.left.field >= 0 && n.right.field < 0) {
    ConvertLiteral(n.right, t.Col(static_cast<std::size_t>(n.left.field)));
  }
  if (n.right.field >= 0 && n.left.field < 0) {
    ConvertLiteral(n.left, t.Col(static_cast<std::size_t>(n.right.field)));
  }
}

}  // namespace

FilterExpr::FilterExpr(std::string_view text, const ColumnTable& table) : text_(text) {
  Parser p(text, table);
  root_ = p.ParseAll();
  ConvertLiterals(*root_, table);
}

FilterExpr::~FilterExpr() = default;
FilterExpr::FilterExpr(FilterExpr&&) noexcept = default;
FilterExpr& FilterExpr::operator=(FilterExpr&&) noexcept = default;

bool FilterExpr::Matches(const ColumnTable& table, std::uint32_t row, bool caseInsensitive) const {
  return Eval(*root_, table, row, caseInsensitive);
}

}  // namespace sw
