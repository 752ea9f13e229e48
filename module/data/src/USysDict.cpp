#include "sw/data/USysDict.h"

#include <algorithm>

#include "sw/core/CodePage.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

// ---- data type codes ----

TDataTypeClass DataTypeClass(int code) {
  if (code >= 1 && code <= 10) return TDataTypeClass::Text;
  switch (code) {
    case 11:
    case 12:
    case 15:
      return TDataTypeClass::Integer;
    case 13:
    case 14:
    case 17:
    case 18:
    case 19:
    case 20:
      return TDataTypeClass::Decimal;
    case 16:
      return TDataTypeClass::Int64;
    case 21:
      return TDataTypeClass::DateTime;
    case 22:
      return TDataTypeClass::Boolean;
    case 23:
      return TDataTypeClass::Date;
    case 24:
      return TDataTypeClass::Time;
    case 25:
      return TDataTypeClass::LargeInteger;
    case 26:
      return TDataTypeClass::ButtonText;
    case 27:
      return TDataTypeClass::DateTimeBare;
    default:
      return TDataTypeClass::Unknown;
  }
}

const char* DataTypeClassName(TDataTypeClass cls) {
  switch (cls) {
    case TDataTypeClass::Text:
      return "text";
    case TDataTypeClass::Integer:
      return "integer";
    case TDataTypeClass::Decimal:
      return "decimal";
    case TDataTypeClass::Int64:
      return "int64";
    case TDataTypeClass::DateTime:
      return "datetime";
    case TDataTypeClass::Boolean:
      return "boolean";
    case TDataTypeClass::Date:
      return "date";
    case TDataTypeClass::Time:
      return "time";
    case TDataTypeClass::LargeInteger:
      return "large-integer";
    case TDataTypeClass::ButtonText:
      return "button-text";
    case TDataTypeClass::DateTimeBare:
      return "datetime-bare";
    case TDataTypeClass::Unknown:
      break;
  }
  return "unknown";
}

bool IsQuotedDataType(int code) {
  switch (DataTypeClass(code)) {
    case TDataTypeClass::Text:
    case TDataTypeClass::DateTime:
    case TDataTypeClass::Boolean:
    case TDataTypeClass::Date:
    case TDataTypeClass::Time:
    case TDataTypeClass::ButtonText:
      return true;
    default:
      return false;
  }
}

namespace {

// Smallest property record: eleven 2-byte values, two 4-byte values, eighteen bytes and fifteen empty strings
// of three bytes each. A declared count that cannot fit in what remains is refused before anything is built.
constexpr std::size_t kMinPropRecordBytes = 11 * 2 + 2 * 4 + 18 + 15 * 3;

std::string Where(std::int32_t classId) {
  return "class description " + IntToStr(classId) + ": ";
}

std::string PropName(const TSysPropDesc& p, std::size_t index, std::size_t count) {
  std::string name = "property " + IntToStr(static_cast<std::int64_t>(index + 1)) + " of " +
                     IntToStr(static_cast<std::int64_t>(count)) + " (PropId " + IntToStr(p.PropId);
  if (!p.FieldName.empty()) name += ", " + p.FieldName;
  return name + ")";
}

// The rules a description must keep to travel: the 0/1 flags hold 0 or 1, codes lie in their ranges. Returns
// the first fault, or an empty text. Reader and writer apply the same rules, so whatever one writes the other
// reads.
std::string HeaderFault(const TSysClassDescRec& r) {
  if (r.FullDesc > 1) return "FullDesc is " + IntToStr(r.FullDesc) + ", expected 0 or 1";
  if (r.SelectMode > 1) return "SelectMode is " + IntToStr(r.SelectMode) + ", expected 0 or 1";
  return {};
}

std::string PropFault(const TSysPropDesc& p) {
  if (p.DataType < kMinDataType || p.DataType > kMaxDataType)
    return "DataType " + IntToStr(p.DataType) + " is not a data type code (1..27)";
  if (p.RefKeyType > kMaxDataType) return "RefKeyType " + IntToStr(p.RefKeyType) + " is not a data type code";
  if (p.EditKind > kMaxEditKind) return "EditKind " + IntToStr(p.EditKind) + " is not an edit kind (0..4)";
  if (p.MustExist > 1) return "MustExist is " + IntToStr(p.MustExist) + ", expected 0 or 1";
  return {};
}

// Writes one description's values, converting texts to GBK and checking that each fits its field.
class DescWriter {
 public:
  DescWriter(TSysStream& s, std::int32_t classId) : s_(s), where_(Where(classId)) {}

  void SetContext(std::string context) { context_ = std::move(context); }

  void Str(std::string_view utf8, const char* field) {
    const std::string gbk = Utf8ToGbk(utf8);
    if (gbk.size() > TSysStream::kMaxStringLength) {
      Fail(std::string(field) + " is " + IntToStr(static_cast<std::int64_t>(gbk.size())) +
           " bytes long, more than the 65535 a stream string can hold");
    }
    s_.WriteString(gbk);
  }

  void Word(std::int64_t value, const char* field) {
    if (value < 0 || value > 0xFFFF)
      Fail(std::string(field) + " " + IntToStr(value) + " does not fit in 2 bytes (0..65535)");
    s_.WriteWord(static_cast<std::uint16_t>(value));
  }

  void Byte(std::uint8_t value) { s_.WriteByte(value); }
  void Integer(std::int32_t value) { s_.WriteInteger(value); }

  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(where_ + (context_.empty() ? "" : context_ + ": ") + what);
  }

 private:
  TSysStream& s_;
  std::string where_;
  std::string context_;
};

void WriteProp(DescWriter& w, const TSysPropDesc& p) {
  w.Word(p.PropId, "PropId");
  w.Str(p.Caption, "Caption");
  w.Word(p.DataType, "DataType");
  w.Word(p.DispIndex, "DispIndex");
  w.Str(p.TableName, "TableName");
  w.Str(p.FieldName, "FieldName");
  w.Word(p.MaxLength, "MaxLength");
  w.Word(p.DispWidth, "DispWidth");
  w.Word(p.Decimals, "Decimals");
  w.Word(p.EditKind, "EditKind");
  w.Word(p.RefId, "RefId");
  w.Integer(p.RefMode);
  w.Integer(p.NameProp);
  w.Byte(p.MustExist);
  w.Str(p.Condition, "Condition");
  w.Word(p.AutoKind, "AutoKind");
  for (std::uint8_t flag : {p.IsKey, p.Editable, p.Visible, p.InList, p.Required, p.AllowAll, p.InCondition,
                            p.PropFlag1, p.SumInFooter, p.PropFlag2, p.ZeroAsBlank, p.PropFlag3,
                            p.ShowCodeName, p.PanelCondition, p.InLookupList, p.AutoOrder, p.PropFlag4}) {
    w.Byte(flag);
  }
  w.Str(p.PropText1, "PropText1");
  w.Str(p.DefaultValue, "DefaultValue");
  w.Str(p.DisplayFormat, "DisplayFormat");
  w.Str(p.BadText, "BadText");
  w.Str(p.PropText2, "PropText2");
  w.Str(p.DisplayCaption, "DisplayCaption");
  w.Str(p.TextCode, "TextCode");
  w.Word(p.DispOrder, "DispOrder");
  w.Str(p.RefTable, "RefTable");
  w.Str(p.RefKeyField, "RefKeyField");
  w.Word(p.RefKeyType, "RefKeyType");
  w.Str(p.RefNameField, "RefNameField");
  w.Str(p.RefCondition, "RefCondition");
}

std::string ReadStr(TSysStream& s) {
  return GbkToUtf8(s.ReadString());
}
std::uint8_t ReadLowByte(std::uint32_t value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}

std::unique_ptr<TSysPropDesc> ReadProp(TSysStream& s) {
  auto p = std::make_unique<TSysPropDesc>();
  p->PropId = s.ReadWord();
  p->Caption = ReadStr(s);
  p->DataType = ReadLowByte(s.ReadWord());
  p->DispIndex = s.ReadWord();
  p->TableName = ReadStr(s);
  p->FieldName = ReadStr(s);
  p->MaxLength = s.ReadWord();
  p->DispWidth = s.ReadWord();
  p->Decimals = s.ReadWord();
  p->EditKind = ReadLowByte(s.ReadWord());
  p->RefId = s.ReadWord();
  p->RefMode = s.ReadInteger();
  p->NameProp = s.ReadInteger();
  p->MustExist = s.ReadByte();
  p->Condition = ReadStr(s);
  p->AutoKind = ReadLowByte(s.ReadWord());
  for (std::uint8_t* flag :
       {&p->IsKey, &p->Editable, &p->Visible, &p->InList, &p->Required, &p->AllowAll, &p->InCondition,
        &p->PropFlag1, &p->SumInFooter, &p->PropFlag2, &p->ZeroAsBlank, &p->PropFlag3, &p->ShowCodeName,
        &p->PanelCondition, &p->InLookupList, &p->AutoOrder, &p->PropFlag4}) {
    *flag = s.ReadByte();
  }
  p->PropText1 = ReadStr(s);
  p->DefaultValue = ReadStr(s);
  p->DisplayFormat = ReadStr(s);
  p->BadText = ReadStr(s);
  p->PropText2 = ReadStr(s);
  p->DisplayCaption = ReadStr(s);
  p->TextCode = ReadStr(s);
  p->DispOrder = s.ReadWord();
  p->RefTable = ReadStr(s);
  p->RefKeyField = ReadStr(s);
  p->RefKeyType = ReadLowByte(s.ReadWord());
  p->RefNameField = ReadStr(s);
  p->RefCondition = ReadStr(s);
  return p;
}

}  // namespace

// ---- TSysClassDesc ----

TSysClassDesc::TSysClassDesc(TSysClassEntity* owner, int language, std::int32_t classId) : owner_(owner) {
  if (language < 0 || language > 0xFF)
    throw Error("class description: language " + IntToStr(language) + " is not a language code");
  rec_.LanguageType = language == 0 ? lt_Def : static_cast<TEnumLangType>(language);
  rec_.ClassID = classId;
}

TSysClassDesc::~TSysClassDesc() {
  Clear();
}

void TSysClassDesc::Clear() {
  while (!props_.empty()) props_.pop_back();
}

TSysPropDesc& TSysClassDesc::AddProp(std::unique_ptr<TSysPropDesc> prop) {
  if (!prop) throw Error("class description: cannot add a null property");
  prop->ClassDesc = this;
  props_.push_back(std::move(prop));
  return *props_.back();
}

TSysPropDesc* TSysClassDesc::Prop(int n) const {
  if (props_.empty()) return nullptr;
  TSysPropDesc* candidate =
      (n >= 1 && n <= PropCount()) ? props_[static_cast<std::size_t>(n - 1)].get() : props_.back().get();
  if (candidate->PropId == n) return candidate;
  for (const auto& p : props_)
    if (p->PropId == n) return p.get();
  return candidate;
}

TSysPropDesc* TSysClassDesc::PropByIndex(int i) const {
  for (const auto& p : props_)
    if (p->DispIndex == i) return p.get();
  return nullptr;
}

TSysPropDesc* TSysClassDesc::FindByFieldName(std::string_view name) const {
  for (const auto& p : props_)
    if (SameText(p->FieldName, name)) return p.get();
  return nullptr;
}

TSysPropDesc* TSysClassDesc::FindByCaption(std::string_view caption) const {
  for (const auto& p : props_)
    if (SameText(p->Caption, caption)) return p.get();
  return nullptr;
}

void TSysClassDesc::SetQueryKind(std::uint8_t v) {
  if (rec_.QueryKind == v) return;
  rec_.QueryKind = v;
  rec_.ServerCache.clear();
}

void TSysClassDesc::SaveToStream(TMemoryStream& stream, bool full) const {
  // Everything goes to a scratch stream first, so a value that cannot be written leaves the target untouched.
  TMemoryStream scratch;
  TSysStream s(scratch);
  DescWriter w(s, rec_.ClassID);
  if (std::string fault = HeaderFault(rec_); !fault.empty()) w.Fail(fault);

  w.Integer(rec_.ClassID);
  w.Integer(rec_.LanguageType);
  w.Byte(rec_.FullDesc);
  w.Byte(rec_.SelectMode);
  w.Byte(rec_.QueryKind);
  w.Byte(rec_.SearchFlag);
  w.Str(rec_.ServerCache, "ServerCache");
  w.Str(rec_.FromText, "FromText");
  if (full || rec_.FullDesc == 1) {
    w.Word(rec_.ClassFlag, "ClassFlag");
    w.Str(rec_.ClassCaption, "ClassCaption");
    w.Str(rec_.TableName, "TableName");
    w.Byte(rec_.ClassFlag2);
    w.Str(rec_.IndexFields, "IndexFields");
    w.Byte(rec_.ClassFlag3);
    w.Str(rec_.ClassText, "ClassText");
    w.Str(rec_.ClassText2, "ClassText2");
    w.Word(static_cast<std::int64_t>(props_.size()), "property count");

    // Ascending PropId; a stable sort keeps list order among equal ids, so every property goes out once.
    std::vector<std::pair<const TSysPropDesc*, std::size_t>> order;
    order.reserve(props_.size());
    for (std::size_t i = 0; i < props_.size(); ++i) order.emplace_back(props_[i].get(), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first->PropId < b.first->PropId; });
    for (const auto& [p, index] : order) {
      w.SetContext(PropName(*p, index, props_.size()));
      if (std::string fault = PropFault(*p); !fault.empty()) w.Fail(fault);
      WriteProp(w, *p);
    }
  }
  stream.Write(scratch.Bytes().data(), scratch.Size());
}

void TSysClassDesc::LoadFromStream(TMemoryStream& stream, bool full) {
  const std::size_t start = stream.Position();
  try {
    TSysStream s(stream);
    TSysClassDescRec h;
    h.ClassID = s.ReadInteger();
    h.LanguageType = static_cast<TEnumLangType>(ReadLowByte(static_cast<std::uint32_t>(s.ReadInteger())));
    h.FullDesc = s.ReadByte();
    h.SelectMode = s.ReadByte();
    h.QueryKind = s.ReadByte();
    h.SearchFlag = s.ReadByte();
    h.ServerCache = ReadStr(s);
    h.FromText = ReadStr(s);
    const std::string where = Where(h.ClassID);
    if (s.Truncated()) throw Error("class description: the stream ends inside the header");
    if (std::string fault = HeaderFault(h); !fault.empty()) throw Error(where + fault);

    const bool withProps = full || h.FullDesc == 1;
    std::vector<std::unique_ptr<TSysPropDesc>> props;
    if (withProps) {
      h.ClassFlag = ReadLowByte(s.ReadWord());
      h.ClassCaption = ReadStr(s);
      h.TableName = ReadStr(s);
      h.ClassFlag2 = s.ReadByte();
      h.IndexFields = ReadStr(s);
      h.ClassFlag3 = s.ReadByte();
      h.ClassText = ReadStr(s);
      h.ClassText2 = ReadStr(s);
      const std::size_t count = s.ReadWord();
      if (s.Truncated()) throw Error(where + "the stream ends inside the class part");
      if (count > stream.Remaining() / kMinPropRecordBytes) {
        throw Error(where + IntToStr(static_cast<std::int64_t>(count)) + " properties cannot fit in the " +
                    IntToStr(static_cast<std::int64_t>(stream.Remaining())) + " bytes that follow");
      }
      props.reserve(count);
      for (std::size_t i = 0; i < count; ++i) {
        auto p = ReadProp(s);
        if (s.Truncated()) {
          throw Error(where + "the stream ends inside property " +
                      IntToStr(static_cast<std::int64_t>(i + 1)) + " of " +
                      IntToStr(static_cast<std::int64_t>(count)));
        }
        if (std::string fault = PropFault(*p); !fault.empty())
          throw Error(where + PropName(*p, i, count) + ": " + fault);
        props.push_back(std::move(p));
      }
    }

    // Everything was read: now the description takes the values.
    rec_.ClassID = h.ClassID;
    rec_.LanguageType = h.LanguageType;
    rec_.FullDesc = h.FullDesc;
    rec_.SelectMode = h.SelectMode;
    rec_.QueryKind = h.QueryKind;
    rec_.SearchFlag = h.SearchFlag;
    rec_.ServerCache = std::move(h.ServerCache);
    rec_.FromText = std::move(h.FromText);
    if (withProps) {
      rec_.ClassFlag = h.ClassFlag;
      rec_.ClassCaption = std::move(h.ClassCaption);
      rec_.TableName = std::move(h.TableName);
      rec_.ClassFlag2 = h.ClassFlag2;
      rec_.IndexFields = std::move(h.IndexFields);
      rec_.ClassFlag3 = h.ClassFlag3;
      rec_.ClassText = std::move(h.ClassText);
      rec_.ClassText2 = std::move(h.ClassText2);
      Clear();
      for (auto& p : props) AddProp(std::move(p));
    }
  } catch (...) {
    stream.SetPosition(start);
    throw;
  }
}

void TSysClassDesc::LoadFromVariant(const Variant& data, bool full) {
  if (!data.IsBytes()) {
    throw Error(std::string("class description: expected a byte array, got ") + VarTypeName(data.Type()));
  }
  TMemoryStream stream(data.AsBytes().bytes);
  LoadFromStream(stream, full);
}

Variant TSysClassDesc::SaveToVariant(bool full) const {
  TMemoryStream stream;
  SaveToStream(stream, full);
  return Variant::Bytes(stream.TakeBytes(), 0);
}

}  // namespace sw
