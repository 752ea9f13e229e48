// Condition texts of the entity: SQL literals, session placeholders, property references, the translation of
// conditions written with captions and display values, and the expansion of property conditions.
#include <array>
#include <cstddef>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/sysBaseBL.h"
#include "sw/session/SessionValues.h"

namespace sw {

namespace {

// Kinds of the tokens of a condition, as the token step tells them apart.
enum TokenKind : int { tkNone, tkOperator, tkConnective, tkOpen, tkClose, tkProperty, tkValue, tkField };

bool IsOperator(std::string_view t) {
  return t == "=" || t == ">" || t == ">=" || t == "<" || t == "<=" || t == "<>" || SameText(t, "LIKE");
}

bool OnlyOf(std::string_view t, char c) {
  return !t.empty() && t.find_first_not_of(c) == std::string_view::npos;
}

bool Enclosed(std::string_view t, char open, char close) {
  return t.size() >= 2 && t.front() == open && t.back() == close;
}

// The value of a quoted token: without its enclosing quotes, a doubled quote inside read as one.
std::string Unquoted(std::string_view t) {
  return ReplaceAll(t.substr(1, t.size() - 2), "''", "'");
}

struct Placeholder {
  std::string_view text;
  std::string_view session;
  bool quoted;
};
constexpr std::array<Placeholder, 14> kPlaceholders = {{
    {"SYSTEM.ORGCODE", "CurOrgCode", true},
    {"SYSTEM.ORGNAME", "CurOrgName", true},
    {"SYSTEM.INORGCODE", "CurInOrgCode", true},
    {"SYSTEM.DEPCODE", "CurDepCode", true},
    {"SYSTEM.DEPNAME", "CurDepName", true},
    {"SYSTEM.USERID", "CurUserID", false},
    {"SYSTEM.USERCODE", "CurUserCode", true},
    {"SYSTEM.USERNAME", "CurUserName", true},
    {"SYSTEM.NKORGCODE", "CurNkOrgCode", true},
    {"SYSTEM.NKORGNAME", "CurNkOrgName", true},
    {"SYSTEM.CKCODE", "CurCkCode", true},
    {"SYSTEM.CKNAME", "CurCkName", true},
    {"SYSTEM.DUTYCODE", "CurDutyCode", true},
    {"SYSTEM.ORGTYPE", "CurOrgType", true},
}};

}  // namespace

std::string Literal(int dataType, std::string_view text) {
  if (IsQuotedDataType(dataType)) return QuotedStr(Trim(text));
  return text.empty() ? std::string("0") : std::string(text);
}

std::string SubstituteSessionValues(std::string_view text) {
  std::string result(text);
  for (const Placeholder& p : kPlaceholders) {
    if (FindText(result, p.text) == std::string::npos) continue;
    std::string value;
    ResolveSessionValue(p.session, value);  // the user number is checked to be a number on the way
    result = ReplaceAllText(result, p.text, p.quoted ? QuotedStr(value) : value);
  }
  return result;
}

// ---- Property references ----

TSysPropDesc* TSysClassEntity::FindProp(std::string_view reference) {
  constexpr std::size_t kMaxCaption = 250;
  const bool caption = Enclosed(reference, '[', ']');
  std::string_view name = caption ? reference.substr(1, reference.size() - 2) : reference;
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos) {
    const std::string_view qualifier = name.substr(0, dot);
    const TSysClassDescRec& rec = classDesc_->Rec();
    if (!SameText(qualifier, rec.ClassCaption) && !SameText(qualifier, rec.TableName)) return nullptr;
    name = name.substr(dot + 1, caption ? kMaxCaption : std::string_view::npos);
  }
  return caption ? classDesc_->FindByCaption(name) : classDesc_->FindByFieldName(name);
}

// ---- Condition expansion ----

std::string TSysClassEntity::ExpandCondition(const std::string& text, bool useValues) {
  if (Trim(text).empty()) return "";
  if (!useValues) return text;
  std::string result = text;
  for (const auto& prop : classDesc_->Props()) {
    if (prop->Field == nullptr) continue;
    const std::string literal = Literal(prop->DataType, prop->Field->Text());
    if (Trim(literal).empty()) return "";
    const std::string& table = prop->TableName.empty() ? classDesc_->Rec().TableName : prop->TableName;
    result = ReplaceAllText(result, table + "." + prop->FieldName, literal);
  }
  return result;
}

std::string TSysClassEntity::ExpandRefCondition(TSysPropDesc& prop) {
  std::string result = prop.RefCondition;
  if (result.empty()) return result;
  result = ReplaceAllText(result, "&CURRTABLE&", prop.RefTable);
  for (const auto& other : classDesc_->Props()) {
    if (other->Field == nullptr) continue;
    const std::string literal = Literal(other->DataType, other->Field->Text());
    result = ReplaceAllText(result, "[" + other->FieldName + "]", literal);
    result = ReplaceAllText(result, "[" + other->Caption + "]", literal);
  }
  return result;
}

std::string TSysClassEntity::LookupCondition(TSysPropDesc& prop) {
  if (!prop.Condition.empty()) {
    std::string result = ExpandCondition(prop.Condition, true);
    if (!prop.RefCondition.empty()) result += " AND " + ExpandRefCondition(prop);
    return result;
  }
  if (!prop.RefCondition.empty()) return ExpandRefCondition(prop);
  return "";
}

void TSysClassEntity::ApplyRefConditions(const std::vector<int>& propNumbers) {
  bool applied = false;
  const int count = classDesc_->PropCount();
  for (int n : propNumbers) {
    if (n < 1 || n > count) continue;
    TSysPropDesc& prop = *classDesc_->Prop(n);
    if (prop.Condition.empty() && !prop.RefCondition.empty()) {
      prop.Condition = ExpandRefCondition(prop);
      applied = true;
    }
  }
  if (applied) {
    classDesc_->SetFullDesc(1);
    classDesc_->SetServerCache("");
  }
}

void TSysClassEntity::ClearRefConditions(const std::vector<int>& propNumbers) {
  const int count = classDesc_->PropCount();
  for (int n : propNumbers) {
    if (n < 1 || n > count) continue;
    TSysPropDesc& prop = *classDesc_->Prop(n);
    if (!prop.Condition.empty() && !prop.RefCondition.empty()) prop.Condition.clear();
  }
}

// ---- Condition translation ----

void TSysClassEntity::Tokenize(const std::string& condition, std::vector<std::string>& tokens) const {
  std::string token;
  bool inQuote = false, inBrackets = false;
  char prev = '\0';
  const auto end = [&] {
    tokens.push_back(std::move(token));
    token.clear();
  };
  for (std::size_t i = 0; i < condition.size(); ++i) {
    const char c = condition[i];
    if (inQuote) {
      token += c;
      if (c == '\'') {
        // Two quotes in a row stand for one quote inside the value.
        if (i + 1 < condition.size() && condition[i + 1] == '\'') {
          token += '\'';
          prev = condition[++i];
          continue;
        }
        inQuote = false;
        end();
      }
    } else if (inBrackets) {
      if (c == '\'') {
        end();
        token = "'";
        inQuote = true;
        inBrackets = false;
      } else if (c == '[') {
        end();
        token = "[";
      } else {
        token += c;
        if (c == ']') {
          inBrackets = false;
          end();
        }
      }
    } else if (c == ' ') {
      end();
    } else if (c == '\'') {
      end();
      token = "'";
      inQuote = true;
    } else if (c == '(' || c == ')') {
      if (prev != c) {
        end();
      }
      token += c;
    } else if (c == '[') {
      end();
      token = "[";
      inBrackets = true;
    } else if (c == ']') {
      end();
      token = "]";
    } else {
      bool split;
      if (prev == '(' || prev == ')')
        split = true;
      else if (token == ">=" || token == "<=" || token == "<>")
        split = true;
      else if (c == '=')
        split = prev != '>' && prev != '<';
      else if (c == '>')
        split = prev != '<';
      else if (c == '<')
        split = true;
      else
        split = prev == '=' || prev == '>' || prev == '<';
      if (split) end();
      token += c;
    }
    prev = c;
  }
  end();
}

void TSysClassEntity::TokenStep(const std::string& rawToken, std::string& out, int& previousKind) {
  const std::string token = Trim(rawToken);
  if (token.empty()) return;
  std::string text = token;
  int kind;
  if (IsOperator(token)) {
    kind = tkOperator;
  } else if (SameText(token, "AND") || SameText(token, "OR")) {
    kind = tkConnective;
  } else if (OnlyOf(token, '(')) {
    kind = tkOpen;
  } else if (OnlyOf(token, ')')) {
    kind = tkClose;
  } else if (Enclosed(token, '[', ']')) {
    kind = tkProperty;
    if (TSysPropDesc* prop = FindProp(token)) text = prop->FieldName;
    LastField = text;
  } else if (Enclosed(token, '\'', '\'') && previousKind != tkOpen) {
    kind = tkValue;
  } else if (previousKind == tkOperator) {
    kind = tkValue;
  } else {
    kind = tkField;
    LastField = token;
  }
  if (kind == tkValue) text = ValueLiteral(token);
  out += " " + text;
  previousKind = kind;
}

void TSysClassEntity::TranslateWhere(const std::string& condition) {
  TranslatedWhere.clear();
  if (condition.empty()) return;
  std::vector<std::string> tokens;
  Tokenize(condition, tokens);
  std::string out;
  int previousKind = tkNone;
  for (const std::string& token : tokens) TokenStep(token, out, previousKind);
  TranslatedWhere = Trim(out);
}

std::string TSysClassEntity::ValueLiteral(const std::string& rawToken) {
  const std::string value = Enclosed(rawToken, '\'', '\'') ? Unquoted(rawToken) : rawToken;
  if (SameText(LastField, "PLUCODE") || EndsWithText(LastField, ".PLUCODE")) {
    std::string plu;
    if (FindArticleCode(value, plu)) return QuotedStr(plu);
  }
  if (Enclosed(rawToken, '#', '#')) return rawToken.substr(1, rawToken.size() - 2);
  TSysPropDesc* prop = FindProp(LastField);
  if (prop == nullptr) return Trim(rawToken);
  std::string code = value;
  if (prop->EditKind == ekEnum) {
    for (const std::string& entry : prop->EnumList) {
      const std::size_t dash = entry.find('-');
      if (dash != std::string::npos && SameText(entry.substr(dash + 1), value)) {
        code = entry.substr(0, dash);
        break;
      }
    }
  } else if (prop->EditKind == ekLookup3 && !prop->RefNameField.empty()) {
    // The name column holds text, so the typed name goes in as a text literal whatever the key type is.
    try {
      TClientDataSet found;
      if (OpenClientDataSet(found, " SELECT " + prop->RefKeyField + " FROM " + prop->RefTable + " WHERE " +
                                       prop->RefNameField + "=" + Literal(1, value)) &&
          !found.IsEmpty()) {
        found.First();
        code = found.Fields(0).AsString();
      }
    } catch (...) {
      // A name that cannot be looked up stays as typed; the search then finds what it finds.
    }
  }
  return Literal(prop->DataType, code);
}

}  // namespace sw
