// Feeds arbitrary bytes to TSysExpression::Evaluate and Execute, with variables of every value kind and a
// data item in place. Errors of the language are the expected outcome of most inputs; any other exception, a
// crash or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "sw/core/Text.h"
#include "sw/expr/SysExpression.h"

namespace {

// A data item of three members; a dotted name "T.X" finds member X.
class FuzzItem : public sw::TDataItem {
 public:
  explicit FuzzItem(sw::TSysExpression& owner) : TDataItem(owner, "C1001") {
    members_["QTY"] = sw::Variant(std::int32_t{3});
    members_["PRICE"] = sw::Variant(sw::Currency{25000});
    members_["NAME"] = sw::Variant("张三");
  }
  bool FindMember(std::string_view name) override { return Find(name) != members_.end(); }
  void GetMemberValue(std::string_view name, sw::Variant& value) override {
    auto it = Find(name);
    if (it == members_.end()) {
      if (Owner().Skipping()) {
        value = sw::Variant(std::int32_t{0});
        return;
      }
      Owner().RaiseError("没有名称为[" + std::string(name) + "]数据对象的属性!!");
    }
    value = it->second;
  }
  void SetMemberValue(std::string_view name, const sw::Variant& value) override {
    auto it = Find(name);
    if (it == members_.end()) Owner().RaiseError("没有名称为[" + std::string(name) + "]数据对象的属性!!");
    it->second = value;
  }
  bool IsOpen() const override { return true; }

 private:
  std::map<std::string, sw::Variant>::iterator Find(std::string_view name) {
    std::string n(name);
    if (auto dot = n.find('.'); dot != std::string::npos) {
      if (!sw::SameText(n.substr(0, dot), "T")) return members_.end();
      n = n.substr(dot + 1);
    }
    return members_.find(sw::UpperCase(n));
  }
  std::map<std::string, sw::Variant> members_;
};

void Populate(sw::TSysExpression& e) {
  e.AddDataItem(std::make_unique<FuzzItem>(e));
  e.AddVariable("N", sw::Variant(std::int32_t{10}));
  e.AddVariable("S", sw::Variant("中文abc"));
  e.AddVariable("D", sw::Variant::Date(45000.5));
  e.AddVariable("B", sw::Variant(true));
  e.AddVariable("C", sw::Variant(sw::Currency{15000}));
  e.AddVariable("NUL", sw::Variant::Null());
  e.AddVariable("EMP", sw::Variant());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  sw::TSysExpression e;
  Populate(e);
  sw::Variant value;
  e.Evaluate(value, text);
  e.Execute(text);
  // The evaluator stays usable after whatever happened.
  e.Evaluate(value, "IIF(QTY > 1, N * 2, S)");
  return 0;
}
