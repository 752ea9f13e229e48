#include "sw/data/ClassDescDump.h"

#include <ostream>

#include "sw/core/Text.h"

namespace sw {

std::string QuoteForDump(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 32 || c == 127) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

namespace {

// Collects name=value pairs of one line.
class Line {
 public:
  explicit Line(std::ostream& out) : out_(out) {}
  ~Line() { out_ << '\n'; }

  void Num(const char* name, std::int64_t v) { Put(name, IntToStr(v)); }
  void Str(const char* name, std::string_view v) { Put(name, QuoteForDump(v)); }
  // Leaves out zero numbers and empty texts.
  void NumIfSet(const char* name, std::int64_t v) {
    if (v != 0) Num(name, v);
  }
  void StrIfSet(const char* name, std::string_view v) {
    if (!v.empty()) Str(name, v);
  }
  void DataType(const char* name, int code) {
    Put(name, IntToStr(code) + "(" + DataTypeClassName(DataTypeClass(code)) + ")");
  }

 private:
  void Put(const char* name, const std::string& value) {
    if (!first_) out_ << ' ';
    first_ = false;
    out_ << name << '=' << value;
  }

  std::ostream& out_;
  bool first_ = true;
};

void DumpProp(const TSysPropDesc& p, std::ostream& out) {
  Line l(out);
  l.Num("PropId", p.PropId);
  l.Str("FieldName", p.FieldName);
  l.Str("Caption", p.Caption);
  l.DataType("DataType", p.DataType);
  l.NumIfSet("DispIndex", p.DispIndex);
  l.StrIfSet("TableName", p.TableName);
  l.NumIfSet("MaxLength", p.MaxLength);
  l.NumIfSet("DispWidth", p.DispWidth);
  l.NumIfSet("Decimals", p.Decimals);
  l.NumIfSet("EditKind", p.EditKind);
  l.NumIfSet("RefId", p.RefId);
  l.NumIfSet("RefMode", p.RefMode);
  l.NumIfSet("NameProp", p.NameProp);
  l.NumIfSet("MustExist", p.MustExist);
  l.StrIfSet("Condition", p.Condition);
  l.NumIfSet("AutoKind", p.AutoKind);
  const std::pair<const char*, std::uint8_t> flags[] = {{"IsKey", p.IsKey},
                                                        {"Editable", p.Editable},
                                                        {"Visible", p.Visible},
                                                        {"InList", p.InList},
                                                        {"Required", p.Required},
                                                        {"AllowAll", p.AllowAll},
                                                        {"InCondition", p.InCondition},
                                                        {"PropFlag1", p.PropFlag1},
                                                        {"SumInFooter", p.SumInFooter},
                                                        {"PropFlag2", p.PropFlag2},
                                                        {"ZeroAsBlank", p.ZeroAsBlank},
                                                        {"PropFlag3", p.PropFlag3},
                                                        {"ShowCodeName", p.ShowCodeName},
                                                        {"PanelCondition", p.PanelCondition},
                                                        {"InLookupList", p.InLookupList},
                                                        {"AutoOrder", p.AutoOrder},
                                                        {"PropFlag4", p.PropFlag4}};
  for (const auto& [name, value] : flags) l.NumIfSet(name, value);
  l.StrIfSet("PropText1", p.PropText1);
  l.StrIfSet("DefaultValue", p.DefaultValue);
  l.StrIfSet("DisplayFormat", p.DisplayFormat);
  l.StrIfSet("BadText", p.BadText);
  l.StrIfSet("PropText2", p.PropText2);
  l.StrIfSet("DisplayCaption", p.DisplayCaption);
  l.StrIfSet("TextCode", p.TextCode);
  l.NumIfSet("DispOrder", p.DispOrder);
  l.StrIfSet("RefTable", p.RefTable);
  l.StrIfSet("RefKeyField", p.RefKeyField);
  if (p.RefKeyType != 0) l.DataType("RefKeyType", p.RefKeyType);
  l.StrIfSet("RefNameField", p.RefNameField);
  l.StrIfSet("RefCondition", p.RefCondition);
}

}  // namespace

void DumpClassDesc(const TSysClassDesc& desc, std::ostream& out) {
  const TSysClassDescRec& r = desc.Rec();
  {
    Line l(out);
    l.Num("ClassID", r.ClassID);
    l.Num("LanguageType", r.LanguageType);
    l.Num("FullDesc", r.FullDesc);
    l.Num("SelectMode", r.SelectMode);
    l.Num("QueryKind", r.QueryKind);
    l.Num("SearchFlag", r.SearchFlag);
    l.Str("ServerCache", r.ServerCache);
    l.Str("FromText", r.FromText);
  }
  {
    Line l(out);
    l.Str("ClassCaption", r.ClassCaption);
    l.Str("TableName", r.TableName);
    l.Str("IndexFields", r.IndexFields);
    l.Num("ClassFlag", r.ClassFlag);
    l.Num("ClassFlag2", r.ClassFlag2);
    l.Num("ClassFlag3", r.ClassFlag3);
    l.Str("ClassText", r.ClassText);
    l.Str("ClassText2", r.ClassText2);
  }
  {
    Line l(out);
    l.Num("PropCount", desc.PropCount());
  }
  for (const auto& p : desc.Props()) DumpProp(*p, out);
}

}  // namespace sw
