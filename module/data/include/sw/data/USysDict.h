#pragma once
// The class dictionary: the client-side model of one entity class as the application server describes it (a
// class header and one property description per column), and its binary stream.
//
// Stream layout (little-endian, strings as TSysStream writes them, GBK bytes on the stream, UTF-8 in memory):
//   header: ClassID 4, LanguageType 4, FullDesc 1, SelectMode 1, QueryKind 1, SearchFlag 1, ServerCache S,
//           FromText S
//   then, when the full description is asked for or FullDesc is 1:
//           ClassFlag 2, ClassCaption S, TableName S, ClassFlag2 1, IndexFields S, ClassFlag3 1, ClassText S,
//           ClassText2 S, property count 2, and that many property records in the field order of
//           TSysPropDesc.
// Byte values that travel in 2 or 4 bytes are written zero-extended and read back as their low byte.
//
// Building a description in code and shipping it:
//   sw::TSysClassDesc desc(nullptr, sw::lt_PRC, 2002);
//   desc.Rec().TableName = "tUsrUser";
//   auto& p = desc.AddProp();
//   p.PropId = 1; p.FieldName = "UserCode"; p.Caption = "用户编码"; p.DataType = 1;
//   sw::Variant packet = desc.SaveToVariant(true);
//   ...
//   other.LoadFromVariant(packet, true);
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sw/common/USysStream.h"
#include "sw/core/Variant.h"

namespace sw {

class TField;           // a field of the entity's client data set, bound when the entity loads data
class TSysClassEntity;  // the entity data set that owns a description
class TSysClassDesc;

// Language of the captions a description carries.
enum TEnumLangType : std::uint8_t { lt_Def = 0, lt_PRC = 1, lt_USA = 2, lt_TW = 3 };

// Data type codes of `DataType` and `RefKeyType`, grouped as the system treats them.
constexpr int kMinDataType = 1;
constexpr int kMaxDataType = 27;
enum class TDataTypeClass {
  Unknown,       // outside 1..27
  Text,          // 1-10
  Integer,       // 11, 12, 15
  Decimal,       // 13, 14, 17-20
  Int64,         // 16
  DateTime,      // 21, written "YYY-MM-DD HH:NN:SS"
  Boolean,       // 22, "1"/"0"
  Date,          // 23
  Time,          // 24
  LargeInteger,  // 25
  ButtonText,    // 26, text with an ellipsis button
  DateTimeBare,  // 27, date and time with its display format, bare in SQL
};
TDataTypeClass DataTypeClass(int code);
// Short English name of the type class ("text", "integer", ...), for listings.
const char* DataTypeClassName(TDataTypeClass cls);
// True when a value of this type stands between single quotes in SQL (codes 1-10, 21-24 and 26).
bool IsQuotedDataType(int code);

// Edit kinds of `EditKind`.
enum TEditKind : std::uint8_t {
  ekPlain = 0,      // plain input
  ekEnum = 1,       // enumeration of type `RefId`
  ekLookup2 = 2,    // lookup in another table (class `RefId`)
  ekLookup3 = 3,    // lookup in another table, second variant
  ekDependent = 4,  // filled from the lookup of property `RefId`
};
constexpr int kMaxEditKind = 4;

// The class header record.
struct TSysClassDescRec {
  TEnumLangType LanguageType = lt_Def;
  std::int32_t ClassID = 0;
  std::uint8_t ClassFlag = 0;
  std::string ClassCaption;
  std::string TableName;
  std::uint8_t ClassFlag2 = 0;
  std::string IndexFields;  // default sort, comma-separated
  std::uint8_t ClassFlag3 = 0;
  std::string ClassText;
  std::uint8_t FullDesc = 0;  // 1: travels whole with each request
  std::string ClassText2;
  std::uint8_t SelectMode = 0;  // 1: lists carry a selection column; no automatic save
  std::uint8_t QueryKind = 1;   // passed with every read and search; 0: typed codes are not looked up
  std::uint8_t SearchFlag = 0;
  std::string ServerCache;  // the server's own text, returned unchanged
  std::string FromText;     // FROM clause of a class read from several tables
};

// One property (column) description. The fields up to `RefCondition` travel on the stream in this order; the
// rest are run-time state of the entity that owns the description.
struct TSysPropDesc {
  std::int32_t PropId = 0;  // 2 bytes on the stream, as are all 32-bit fields below except RefMode, NameProp
  std::string Caption;
  std::uint8_t DataType = 0;  // 1..27
  std::int32_t DispIndex = 0;
  std::string TableName;
  std::string FieldName;
  std::int32_t MaxLength = 0;
  std::int32_t DispWidth = 0;
  std::int32_t Decimals = 0;
  std::uint8_t EditKind = ekPlain;  // 0..4
  std::int32_t RefId = 0;
  std::int32_t RefMode = 0;    // 4 bytes, signed
  std::int32_t NameProp = 0;   // 4 bytes, signed; -n: the looked-up name shows in property n's field
  std::uint8_t MustExist = 0;  // 0/1
  std::string Condition;
  std::uint8_t AutoKind = 0;
  std::uint8_t IsKey = 0;
  std::uint8_t Editable = 0;
  std::uint8_t Visible = 0;
  std::uint8_t InList = 0;
  std::uint8_t Required = 0;
  std::uint8_t AllowAll = 0;
  std::uint8_t InCondition = 0;
  std::uint8_t PropFlag1 = 0;
  std::uint8_t SumInFooter = 0;
  std::uint8_t PropFlag2 = 0;
  std::uint8_t ZeroAsBlank = 0;
  std::uint8_t PropFlag3 = 0;
  std::uint8_t ShowCodeName = 0;
  std::uint8_t PanelCondition = 0;
  std::uint8_t InLookupList = 0;
  std::uint8_t AutoOrder = 0;
  std::uint8_t PropFlag4 = 0;
  std::string PropText1;
  std::string DefaultValue;
  std::string DisplayFormat;
  std::string BadText;
  std::string PropText2;
  std::string DisplayCaption;
  std::string TextCode;
  std::int32_t DispOrder = 0;
  std::string RefTable;
  std::string RefKeyField;
  std::uint8_t RefKeyType = 0;  // 0 or 1..27
  std::string RefNameField;
  std::string RefCondition;

  // Run time, never streamed.
  TField* Field = nullptr;             // the data set field bound to this property
  TField* NameField = nullptr;         // the field that shows the looked-up name
  TSysClassDesc* ClassDesc = nullptr;  // the owning dictionary, set by AddProp
  std::string ExpText;                 // expression text loaded for TextCode
  std::uint8_t Ordered = 0;            // scratch mark of the display-order ranking
  std::int32_t OrderMark = 0;          // scratch value of order-number upkeep; -9999: unchanged
  std::string SavedCondition;          // Condition while a read or search substitutes values into it
  std::vector<std::string> EnumList;   // "code-name" entries of an enumeration (EditKind 1)

  // `DisplayCaption` when not empty, else `Caption`.
  const std::string& DispCaption() const { return DisplayCaption.empty() ? Caption : DisplayCaption; }
};

// A class description: one header record and an owned, ordered list of property descriptions.
class TSysClassDesc {
 public:
  // language 0 keeps the default language lt_Def.
  explicit TSysClassDesc(TSysClassEntity* owner = nullptr, int language = lt_Def, std::int32_t classId = 0);
  TSysClassDesc(const TSysClassDesc&) = delete;
  TSysClassDesc& operator=(const TSysClassDesc&) = delete;
  ~TSysClassDesc();

  TSysClassEntity* Owner() const { return owner_; }
  TSysClassDescRec& Rec() { return rec_; }
  const TSysClassDescRec& Rec() const { return rec_; }

  // Frees every property, the last first.
  void Clear();
  // Appends a property and makes this description its owner; returns it.
  TSysPropDesc& AddProp(std::unique_ptr<TSysPropDesc> prop);
  TSysPropDesc& AddProp() { return AddProp(std::make_unique<TSysPropDesc>()); }
  TSysPropDesc& AddProp(TSysPropDesc prop) {
    return AddProp(std::make_unique<TSysPropDesc>(std::move(prop)));
  }

  int PropCount() const { return static_cast<int>(props_.size()); }
  // The properties in list order.
  const std::vector<std::unique_ptr<TSysPropDesc>>& Props() const { return props_; }
  // Property number n: the n-th in list order when its PropId is n, else the first whose PropId is n, else
  // the n-th (the last when n is outside 1..count). Null only when the description has no properties.
  TSysPropDesc* Prop(int n) const;
  // The first property whose DispIndex is i, or null.
  TSysPropDesc* PropByIndex(int i) const;
  // The first property whose FieldName / Caption equals the text without regard to case, or null.
  TSysPropDesc* FindByFieldName(std::string_view name) const;
  TSysPropDesc* FindByCaption(std::string_view caption) const;

  // Reads a description at the stream's position. The header is always read; the class part and the
  // property records follow when `full` is set or the FullDesc just read is 1, and then replace the property
  // list. A malformed or short stream raises sw::Error and leaves the description and the stream position as
  // they were.
  void LoadFromStream(TMemoryStream& stream, bool full);
  // Writes the header, and the rest when `full` is set or FullDesc is 1, at the stream's position. Properties
  // go in ascending PropId order (list order among equal ids). A value the format cannot hold raises
  // sw::Error before anything is written.
  void SaveToStream(TMemoryStream& stream, bool full) const;
  // The same through a byte-array variant: loading accepts any lower bound, saving gives lower bound 0.
  void LoadFromVariant(const Variant& data, bool full);
  Variant SaveToVariant(bool full) const;

  // Accessors of the header. Setting QueryKind to a new value empties ServerCache.
  std::int32_t ClassID() const { return rec_.ClassID; }
  void SetClassID(std::int32_t v) { rec_.ClassID = v; }
  TEnumLangType LanguageType() const { return rec_.LanguageType; }
  void SetLanguageType(TEnumLangType v) { rec_.LanguageType = v; }
  const std::string& IndexFields() const { return rec_.IndexFields; }
  void SetIndexFields(std::string v) { rec_.IndexFields = std::move(v); }
  const std::string& ServerCache() const { return rec_.ServerCache; }
  void SetServerCache(std::string v) { rec_.ServerCache = std::move(v); }
  const std::string& FromText() const { return rec_.FromText; }
  void SetFromText(std::string v) { rec_.FromText = std::move(v); }
  std::uint8_t SelectMode() const { return rec_.SelectMode; }
  void SetSelectMode(std::uint8_t v) { rec_.SelectMode = v; }
  std::uint8_t QueryKind() const { return rec_.QueryKind; }
  void SetQueryKind(std::uint8_t v);
  std::uint8_t SearchFlag() const { return rec_.SearchFlag; }
  void SetSearchFlag(std::uint8_t v) { rec_.SearchFlag = v; }
  std::uint8_t FullDesc() const { return rec_.FullDesc; }
  void SetFullDesc(std::uint8_t v) { rec_.FullDesc = v; }

 private:
  TSysClassEntity* owner_;
  TSysClassDescRec rec_;
  std::vector<std::unique_ptr<TSysPropDesc>> props_;
};

}  // namespace sw
