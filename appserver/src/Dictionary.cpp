#include "sw/appserver/Dictionary.h"

#include <algorithm>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

std::uint8_t U8(const Variant& v) {
  return v.IsBlank() ? 0 : static_cast<std::uint8_t>(v.ToInt64());
}
std::int32_t I32(const Variant& v) {
  return v.IsBlank() ? 0 : static_cast<std::int32_t>(v.ToInt64());
}
std::string Str(const Variant& v) {
  return v.IsBlank() ? std::string() : v.ToString();
}

void SortProps(ClassDef& cls) {
  std::stable_sort(cls.props.begin(), cls.props.end(),
                   [](const TSysPropDesc& a, const TSysPropDesc& b) { return a.PropId < b.PropId; });
  for (auto& p : cls.props) p.ClassDesc = nullptr;
}

}  // namespace

const TSysPropDesc* ClassDef::FindField(std::string_view fieldName) const {
  for (const auto& p : props) {
    if (SameText(p.FieldName, fieldName)) return &p;
  }
  return nullptr;
}

const TSysPropDesc* ClassDef::FindPropId(int propId) const {
  for (const auto& p : props) {
    if (p.PropId == propId) return &p;
  }
  return nullptr;
}

std::vector<const TSysPropDesc*> ClassDef::Keys() const {
  std::vector<const TSysPropDesc*> keys;
  for (const auto& p : props) {
    if (p.IsKey) keys.push_back(&p);
  }
  return keys;
}

bool ClassDef::IsOwnColumn(const TSysPropDesc& p) const {
  const std::string_view table = TrimmedView(p.TableName);
  return table.empty() || SameText(table, rec.TableName);
}

std::string ServerCacheToken(std::int32_t classId) {
  return "SW1:" + IntToStr(classId);
}

bool IsSqlName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  if (name[0] >= '0' && name[0] <= '9') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
  });
}

ClassDef ReadDescription(const Variant& bytes) {
  if (!bytes.IsBytes()) throw Error("@类描述数据格式错误。");
  TSysClassDesc desc;
  try {
    // A header-only stream must end after the header; a stream that goes on must be a whole description.
    const auto& b = bytes.AsBytes().bytes;
    TMemoryStream stream;
    if (!b.empty()) stream.Write(b.data(), b.size());
    stream.SetPosition(0);
    desc.LoadFromStream(stream, false);
    if (stream.Remaining() != 0) {
      stream.SetPosition(0);
      desc.LoadFromStream(stream, true);
      if (stream.Remaining() != 0)
        throw Error(IntToStr(stream.Remaining()) + " bytes follow the description");
    }
  } catch (const Error& e) {
    throw Error(std::string("@类描述数据格式错误: ") + e.what());
  }
  ClassDef cls;
  cls.rec = desc.Rec();
  for (const auto& p : desc.Props()) cls.props.push_back(*p);
  SortProps(cls);
  return cls;
}

Variant WriteDescription(const ClassDef& cls) {
  TSysClassDesc desc(nullptr, cls.rec.LanguageType, cls.rec.ClassID);
  desc.Rec() = cls.rec;
  for (const auto& p : cls.props) desc.AddProp(p);
  return desc.SaveToVariant(true);
}

std::shared_ptr<const ClassDef> ClassDictionary::Get(DbConnection& db, std::int32_t classId,
                                                     std::uint8_t language) {
  if (language != lt_USA && language != lt_TW) language = lt_PRC;
  const auto key = std::make_pair(classId, language);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  }
  auto cls = language == lt_PRC ? Load(db, classId) : Translate(db, *Get(db, classId, lt_PRC), language);
  std::lock_guard<std::mutex> lock(mutex_);
  cache_[key] = cls;
  return cls;
}

std::shared_ptr<const ClassDef> ClassDictionary::Translate(DbConnection& db, const ClassDef& cls,
                                                           std::uint8_t language) {
  auto out = std::make_shared<ClassDef>(cls);
  out->rec.LanguageType = static_cast<TEnumLangType>(language);
  const auto rows =
      db.Execute("SELECT PropId, Caption FROM tSysCaption WHERE ClassID = ? AND LanguageType = ?",
                 {Variant(cls.rec.ClassID), Variant(std::int32_t{language})});
  for (const auto& r : rows.rows) {
    const std::string caption = Str(r[1]);
    if (caption.empty()) continue;
    const std::int32_t propId = I32(r[0]);
    if (propId == 0) {
      out->rec.ClassCaption = caption;
    } else {
      for (auto& p : out->props) {
        if (p.PropId == propId) p.Caption = caption;
      }
    }
  }
  return out;
}

void ClassDictionary::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  cache_.clear();
}

ClassDef ClassDictionary::Resolve(DbConnection& db, const ClassDef& sent) {
  if (sent.rec.FullDesc == 1 || !sent.props.empty()) {
    if (sent.props.empty()) throw Error("@类描述没有属性。");
    return sent;
  }
  ClassDef cls = *Get(db, sent.rec.ClassID);
  cls.rec.FromText = sent.rec.FromText;
  cls.rec.QueryKind = sent.rec.QueryKind;
  cls.rec.SearchFlag = sent.rec.SearchFlag;
  cls.rec.SelectMode = sent.rec.SelectMode;
  cls.rec.LanguageType = sent.rec.LanguageType;
  return cls;
}

std::shared_ptr<const ClassDef> ClassDictionary::Load(DbConnection& db, std::int32_t classId) {
  const auto head = db.Execute(
      "SELECT ClassCaption, TableName, IndexFields, FromText, ClassFlag, ClassFlag2, ClassFlag3, ClassText, "
      "ClassText2, SelectMode, QueryKind, SearchFlag FROM tSysClass WHERE ClassID = ?",
      {Variant(classId)});
  if (head.rows.empty()) throw Error("@类号 " + IntToStr(classId) + " 没有定义。");
  auto cls = std::make_shared<ClassDef>();
  const auto& h = head.rows[0];
  cls->rec.ClassID = classId;
  cls->rec.LanguageType = lt_PRC;
  cls->rec.ClassCaption = Str(h[0]);
  cls->rec.TableName = Str(h[1]);
  cls->rec.IndexFields = Str(h[2]);
  cls->rec.FromText = Str(h[3]);
  cls->rec.ClassFlag = U8(h[4]);
  cls->rec.ClassFlag2 = U8(h[5]);
  cls->rec.ClassFlag3 = U8(h[6]);
  cls->rec.ClassText = Str(h[7]);
  cls->rec.ClassText2 = Str(h[8]);
  cls->rec.SelectMode = U8(h[9]);
  cls->rec.QueryKind = h[10].IsBlank() ? 1 : U8(h[10]);
  cls->rec.SearchFlag = U8(h[11]);
  cls->rec.ServerCache = ServerCacheToken(classId);

  const auto rows = db.Execute(
      "SELECT PropId, Caption, DataType, TableName, FieldName, MaxLength, DispWidth, Decimals, EditKind, "
      "RefId, "
      "RefMode, NameProp, MustExist, Condition, AutoKind, IsKey, Editable, Visible, InList, Required, "
      "AllowAll, "
      "InCondition, PropFlag1, SumInFooter, PropFlag2, ZeroAsBlank, PropFlag3, ShowCodeName, PanelCondition, "
      "InLookupList, AutoOrder, PropFlag4, PropText1, DefaultValue, DisplayFormat, BadText, PropText2, "
      "DisplayCaption, TextCode, DispOrder, RefTable, RefKeyField, RefKeyType, RefNameField, RefCondition "
      "FROM tSysProp WHERE ClassID = ? ORDER BY PropId",
      {Variant(classId)});
  for (const auto& r : rows.rows) {
    TSysPropDesc p;
    int i = 0;
    p.PropId = I32(r[i++]);
    p.Caption = Str(r[i++]);
    p.DataType = U8(r[i++]);
    p.DispIndex = 0;
    p.TableName = Str(r[i++]);
    p.FieldName = Str(r[i++]);
    p.MaxLength = I32(r[i++]);
    p.DispWidth = I32(r[i++]);
    p.Decimals = I32(r[i++]);
    p.EditKind = U8(r[i++]);
    p.RefId = I32(r[i++]);
    p.RefMode = I32(r[i++]);
    p.NameProp = I32(r[i++]);
    p.MustExist = U8(r[i++]);
    p.Condition = Str(r[i++]);
    p.AutoKind = U8(r[i++]);
    for (std::uint8_t* flag :
         {&p.IsKey, &p.Editable, &p.Visible, &p.InList, &p.Required, &p.AllowAll, &p.InCondition,
          &p.PropFlag1, &p.SumInFooter, &p.PropFlag2, &p.ZeroAsBlank, &p.PropFlag3, &p.ShowCodeName,
          &p.PanelCondition, &p.InLookupList, &p.AutoOrder, &p.PropFlag4}) {
      *flag = U8(r[i++]);
    }
    p.PropText1 = Str(r[i++]);
    p.DefaultValue = Str(r[i++]);
    p.DisplayFormat = Str(r[i++]);
    p.BadText = Str(r[i++]);
    p.PropText2 = Str(r[i++]);
    p.DisplayCaption = Str(r[i++]);
    p.TextCode = Str(r[i++]);
    p.DispOrder = I32(r[i++]);
    p.RefTable = Str(r[i++]);
    p.RefKeyField = Str(r[i++]);
    p.RefKeyType = U8(r[i++]);
    p.RefNameField = Str(r[i++]);
    p.RefCondition = Str(r[i++]);
    cls->props.push_back(std::move(p));
  }
  SortProps(*cls);
  return cls;
}

}  // namespace sw::appserver
