#pragma once
// Helpers shared by the formula language tests: a rendering of a result as "kind:value" or "!message@pos",
// and a data item over a map of members standing in for a data set's current record.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sw/core/Text.h"
#include "sw/expr/SysExpression.h"

namespace sw::testing {

inline std::string Render(const Variant& v) {
  std::string kind = VarTypeName(v.Type());
  switch (v.Type()) {
    case VarType::Double:
    case VarType::Date:
      return kind + ":" + FloatToStr(v.ToDouble());
    case VarType::Null:
    case VarType::Empty:
      return kind + ":";
    default:
      return kind + ":" + v.ToString();
  }
}

// Evaluates and renders; an error renders as "!" + message + "@" + ErrorPos.
inline std::string EvalText(TSysExpression& e, std::string_view formula) {
  Variant v;
  if (!e.Evaluate(v, formula)) return "!" + e.LastError() + "@" + std::to_string(e.ErrorPos());
  return Render(v);
}

// Matches a rendering against an expectation; an expected error without "@" ignores the position.
inline bool Matches(const std::string& actual, const std::string& expected) {
  if (expected.size() > 1 && expected[0] == '!' && expected.find('@') == std::string::npos) {
    return actual.substr(0, actual.rfind('@')) == expected;
  }
  return actual == expected;
}

// A data item over a map of members (names compared without regard to case). A dotted name "T.X" finds member
// X when T is the table name. Reading a member named BOOM fails the way a data layer error does.
class MapDataItem : public TDataItem {
 public:
  MapDataItem(TSysExpression& owner, std::string_view name, bool open = true)
      : TDataItem(owner, name), open_(open) {}

  std::map<std::string, Variant> members;  // keys in upper case
  std::string tableName = "T";
  std::map<std::string, int> writes;

  bool FindMember(std::string_view name) override { return Key(name).has_value(); }
  void GetMemberValue(std::string_view name, Variant& value) override {
    if (SameText(name, "BOOM")) throw Error("conversion failed in the data layer");
    auto key = Key(name);
    if (!key) {
      if (Owner().Skipping()) {
        value = Variant(std::int32_t{0});
        return;
      }
      Owner().RaiseError("没有名称为[" + std::string(name) + "]数据对象的属性!!");
    }
    value = members.at(*key);
  }
  void SetMemberValue(std::string_view name, const Variant& value) override {
    auto key = Key(name);
    if (!key) Owner().RaiseError("没有名称为[" + std::string(name) + "]数据对象的属性!!");
    members[*key] = value;
    ++writes[*key];
  }
  bool IsOpen() const override { return open_; }

 private:
  std::optional<std::string> Key(std::string_view name) const {
    std::string n(name);
    if (auto dot = n.find('.'); dot != std::string::npos) {
      if (!SameText(n.substr(0, dot), tableName)) return std::nullopt;
      n = n.substr(dot + 1);
    }
    std::string upper = UpperCase(n);
    if (members.count(upper) == 0 && !SameText(name, "BOOM")) return std::nullopt;
    return upper;
  }
  bool open_;
};

}  // namespace sw::testing
