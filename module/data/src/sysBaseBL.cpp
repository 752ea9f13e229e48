// The entity data set: creation, initialisation, reading, searching, loading packets with column rights,
// direct statements and the common error reporting. Condition texts are handled in sysBaseBLWhere.cpp.
#include "sw/data/sysBaseBL.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "sw/common/CommonUnits.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/enumbank/EnumBank.h"
#include "sw/hostvars/HostVars.h"
#include "sw/server/sysPstInterface.h"
#include "sw/session/SessionValues.h"

namespace sw {

namespace {

IAppServerIntf& Server() {
  if (AppServerIntf == nullptr) throw Error("The application server interface is not available");
  return *AppServerIntf;
}

// Milliseconds-and-a-bit scale of the search statistics: days times 100000.
double Elapsed(TDateTime from, TDateTime to) {
  return (to - from) * 100000.0;
}

}  // namespace

TSysPropDesc* PropOfField(const TField& field) {
  return static_cast<TSysPropDesc*>(field.Tag);
}

// ---- Request preparation ----

// Expands the property conditions for one request and builds the description that travels with it; the
// destructor puts every condition back, whatever happened in between.
class TSysClassEntity::RequestScope {
 public:
  explicit RequestScope(TSysClassEntity& entity) : entity_(entity) {
    TSysClassDesc& desc = entity.ClassDesc();
    for (const auto& prop : desc.Props()) {
      if (prop->Condition.empty()) continue;
      prop->SavedCondition = prop->Condition;
      saved_.push_back(prop.get());
      std::string expanded = entity.ExpandCondition(prop->Condition, false);
      if (CompareText(expanded, prop->Condition) != 0) {
        prop->Condition = std::move(expanded);
        entity.ConditionsChanged = true;
        desc.SetServerCache("");
      }
    }
    if (entity.ConditionsChanged) {
      desc.SetFullDesc(1);
      desc.SetServerCache("");
    }
  }
  ~RequestScope() {
    for (TSysPropDesc* prop : saved_)
      if (!prop->Condition.empty()) prop->Condition = prop->SavedCondition;
  }
  RequestScope(const RequestScope&) = delete;
  RequestScope& operator=(const RequestScope&) = delete;

  // The whole description when FullDesc is 1, else a header that names the class and the request.
  Variant Description() const {
    const TSysClassDesc& desc = entity_.ClassDesc();
    if (desc.FullDesc() == 1) return desc.SaveToVariant(false);
    TSysClassDesc header(nullptr, desc.LanguageType(), desc.ClassID());
    TSysClassDescRec& rec = header.Rec();
    rec.FullDesc = 0;
    rec.SelectMode = desc.SelectMode();
    rec.QueryKind = desc.QueryKind();
    rec.SearchFlag = desc.SearchFlag();
    rec.ServerCache.clear();
    rec.FromText = desc.FromText();
    return header.SaveToVariant(false);
  }

 private:
  TSysClassEntity& entity_;
  std::vector<TSysPropDesc*> saved_;
};

// ---- Creation ----

TSysClassEntity::TSysClassEntity(std::int32_t classId)
    : classDesc_(std::make_unique<TSysClassDesc>(this, lt_Def, classId)) {
  classDesc_->SetSelectMode(0);
}

TSysClassEntity::~TSysClassEntity() {
  // Fields die with the data set; the description must not keep pointers to them.
  for (const auto& prop : classDesc_->Props()) prop->Field = prop->NameField = nullptr;
}

// ---- Hooks ----

void TSysClassEntity::DoBeforeClose() {
  TClientDataSet::DoBeforeClose();
  for (const auto& prop : classDesc_->Props()) prop->Field = prop->NameField = nullptr;
}

void TSysClassEntity::NotifyChange() {}

void TSysClassEntity::DoPropChanged(TSysPropDesc& prop) {
  if (OnValueChanged) OnValueChanged(*this, prop);
}

bool TSysClassEntity::CheckPropValue(TSysPropDesc& prop, const std::string& text, const Variant& oldValue) {
  bool accept = true;
  if (OnCheckValue) OnCheckValue(*this, prop, text, oldValue, accept);
  return accept;
}

void TSysClassEntity::DoPropChanging(TSysPropDesc& prop, const std::string& text, const Variant& value) {
  if (OnValueChanging) OnValueChanging(*this, prop, text, value);
}

void TSysClassEntity::DoBeforeInsertPost() {
  if (OnBeforeInsertPost) OnBeforeInsertPost(*this);
}

void TSysClassEntity::DoBeforeEditPost() {
  if (OnBeforeEditPost) OnBeforeEditPost(*this);
}

void TSysClassEntity::DoDeleting() {
  if (OnDeleting) OnDeleting(*this);
}

void TSysClassEntity::DoLookupDone(TClientDataSet& lookup, TSysPropDesc& prop) {
  if (OnLookupDone) OnLookupDone(*this, lookup, prop);
}

// ---- Error reporting ----

void TSysClassEntity::ReportError(std::string_view source, std::string_view text) {
  try {
    std::string login;
    ResolveSessionValue("CurLoginID", login);
    Server().WriteSysLog(login, source, text);
  } catch (...) {
    // The log is the last resort of a failure already being handled; it must not raise in its turn.
  }
}

void TSysClassEntity::ShowMessage(std::string_view text) {
  UApp().ShowInfo(text);
}

// ---- Initialisation ----

bool TSysClassEntity::Init(int language) {
  if (Initialized && (language == 0 || language == classDesc_->LanguageType())) return Initialized;
  try {
    if (language < 0 || language > 255) throw Error("Language " + IntToStr(language) + " is out of range");
    Variant data;
    Server().GetClassDesc(ClassID(), static_cast<std::uint8_t>(language), data);
    if (!data.IsBytes()) return Initialized;
    classDesc_->LoadFromVariant(data, true);

    std::string codes;
    for (const auto& prop : classDesc_->Props()) {
      prop->Ordered = 0;
      if (!Trim(prop->TextCode).empty()) codes += "," + QuotedStr(Trim(prop->TextCode));
      std::string condition = SubstituteSessionValues(prop->Condition);
      if (condition != prop->Condition) {
        prop->Condition = std::move(condition);
        ConditionsChanged = true;
      }
      prop->RefCondition = SubstituteSessionValues(prop->RefCondition);
      if (prop->EditKind == ekEnum)
        GetEnumList(IntToStr(prop->RefId), LookupCondition(*prop), prop->EnumList);
    }

    if (!codes.empty()) {
      std::string list = codes.substr(1);
      // A longer list is cut after its last whole entry, so that the statement stays well formed.
      if (list.size() > kMaxTextCodeList) list.erase(list.rfind(',', kMaxTextCodeList));
      try {
        TClientDataSet texts;
        if (OpenClientDataSet(texts,
                              "SELECT TextCode, ExpText FROM tSysText WHERE OrgCode='*' And FileType=3 "
                              "And TextCode in (" +
                                  list + ")")) {
          TField& code = texts.FieldByName("TextCode");
          TField& exp = texts.FieldByName("ExpText");
          for (texts.First(); !texts.Eof(); texts.Next())
            for (const auto& prop : classDesc_->Props())
              if (SameText(Trim(prop->TextCode), Trim(code.AsString()))) prop->ExpText = exp.AsString();
        }
      } catch (...) {
        // Expression texts are optional: a class without them works as before.
      }
    }

    // Display order: the smallest DispOrder first, the earlier of equal keys first.
    const int count = classDesc_->PropCount();
    for (int index = 0; index < count; ++index) {
      TSysPropDesc* pick = nullptr;
      std::int32_t smallest = 999999999;
      for (const auto& prop : classDesc_->Props())
        if (!prop->Ordered && prop->DispOrder < smallest) {
          smallest = prop->DispOrder;
          pick = prop.get();
        }
      if (pick == nullptr)
        for (const auto& prop : classDesc_->Props())
          if (!prop->Ordered) {
            pick = prop.get();
            break;
          }
      pick->DispIndex = index;
      pick->Ordered = 1;
    }

    if (!Trim(classDesc_->IndexFields()).empty())
      SetIndexFieldNames(ReplaceAll(classDesc_->IndexFields(), ",", ";"));
    Initialized = true;
  } catch (...) {
    if (ClassID() == kLogQueryClassId) {
      ShowMessage(kLogQueryInitError);
    } else {
      ErrorText =
          CurrentExceptionMessage() + "\r\n\r\n" + "数据类号为：" + IntToStr(ClassID()) + "初始化失败!";
      ReportError("TSysClassEntity.Init", ErrorText);
      ShowMessage(kEntityDataError);
    }
  }
  return Initialized;
}

bool TSysClassEntity::InitTables(const std::vector<std::string>& tables, int language) {
  Init(language);
  if (Initialized && !tables.empty()) {
    const std::string& name = classDesc_->Rec().TableName;
    if (tables.size() == 1) {
      classDesc_->SetFromText(tables[0] + " " + name);
    } else {
      std::string from = "(SELECT * FROM " + tables[0];
      for (std::size_t i = 1; i < tables.size(); ++i) from += " UNION SELECT * FROM " + tables[i];
      classDesc_->SetFromText(from + ") " + name);
    }
  }
  return Initialized;
}

// ---- Reading and searching ----

bool TSysClassEntity::Read(const std::string& condition, int queryKind) {
  try {
    Init(0);
    classDesc_->SetQueryKind(static_cast<std::uint8_t>(queryKind));
    Variant data;
    {
      RequestScope request(*this);
      Server().ReadClassData(request.Description(), condition, data);
    }
    SetClassData(data);
    return Active() && !IsEmpty();
  } catch (...) {
    ReportError("TSysClassEntity.Read", CurrentExceptionMessage());
    ShowMessage(kEntityDataError);
    return false;
  }
}

bool TSysClassEntity::Search(const std::string& fieldList, const std::string& condition,
                             const std::string& passThrough, int queryKind, int searchFlag) {
  const bool timing = fieldList == kSearchTimingMode;
  try {
    Init(0);
    classDesc_->SetQueryKind(static_cast<std::uint8_t>(queryKind));
    classDesc_->SetSearchFlag(static_cast<std::uint8_t>(searchFlag));
    std::string where = condition;
    if (!FixedWhere.empty()) where = where.empty() ? FixedWhere : "(" + where + ") AND (" + FixedWhere + ")";
    TranslateWhere(where);
    Variant data;
    {
      RequestScope request(*this);
      Server().SearchClassData(request.Description(), fieldList, data, passThrough, TranslatedWhere);
    }
    if (timing) {
      for (std::size_t i = 0; i < ServerTimes.size(); ++i)
        ServerTimes[i] = Elapsed(SearchBegin, SearchTimes[i]);
      RecordTotal = data.IsBytes() ? data.AsBytes().High() : -1;
      PacketSize = SearchCount;
      ReplyTime = Elapsed(SearchBegin, Now());
    }
    const bool loaded = SetClassData(data);
    if (timing)
      LoadTime = Elapsed(SearchBegin, Now());
    else
      RecordTotal = SearchCount;
    return loaded;
  } catch (...) {
    if (ClassID() == kLogQueryClassId) {
      ShowMessage(kLogQuerySearchError);
    } else {
      ReportError("TSysClassEntity.Search", CurrentExceptionMessage());
      ShowMessage(kEntityDataError);
    }
    return false;
  }
}

bool TSysClassEntity::SearchFields(const std::string& fieldList, const std::string& condition,
                                   const std::string& passThrough, int queryKind, int searchFlag) {
  SearchBegin = Now();
  if (fieldList != FieldList) {
    classDesc_->SetServerCache("");
    FieldList = fieldList;
  }
  const bool result = Search(fieldList, condition, passThrough, queryKind, searchFlag);
  if (Active() && !IsEmpty()) First();
  return result;
}

bool TSysClassEntity::SearchWhere(const std::string& condition, const std::string& passThrough, int queryKind,
                                  int searchFlag) {
  if (!FieldList.empty()) {
    classDesc_->SetServerCache("");
    FieldList.clear();
  }
  const bool result = Search("", condition, passThrough, queryKind, searchFlag);
  if (Active() && !IsEmpty()) First();
  return result;
}

bool TSysClassEntity::SearchProps(const std::vector<int>& propNumbers, const std::string& condition,
                                  const std::string& passThrough, int queryKind, int searchFlag) {
  constexpr std::size_t kMaxFieldList = 1024;
  std::string list;
  const int count = classDesc_->PropCount();
  for (int n : propNumbers) {
    if (n < 1 || n > count) continue;
    std::string next = (list.empty() ? "" : ",") + classDesc_->Prop(n)->FieldName;
    if (list.size() + next.size() > kMaxFieldList) break;
    list += next;
  }
  return SearchFields(list, condition, passThrough, queryKind, searchFlag);
}

// ---- Loading packets ----

bool TSysClassEntity::SetClassData(const Variant& packet) {
  if (!packet.IsBytes()) return false;
  ++LoadDepth;
  bool result = false;
  const TDataSetNotifyEvent afterScroll = AfterScroll;
  bool disabled = false;
  try {
    if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert) Cancel();
    UpdateIndexDefs();
    for (const auto& prop : classDesc_->Props()) prop->Field = prop->NameField = nullptr;
    Close();
    DisableControls();
    disabled = true;
    AfterScroll = nullptr;

    std::shared_ptr<TClientDataSet> rights = GetCdsList("ColRight");
    if (rights) {
      rights->SetFiltered(false);
      if (rights->Active() && !rights->IsEmpty()) {
        rights->SetFilter("ClassID=" + IntToStr(ClassID()));
        rights->SetFiltered(true);
      }
    }
    const bool masking = rights && rights->Active() && !rights->IsEmpty();

    SetData(packet);

    const int count = classDesc_->PropCount();
    for (std::size_t i = 0; i < FieldCount(); ++i) {
      TField& field = Fields(i);
      TSysPropDesc* prop = classDesc_->FindByFieldName(field.FieldName());
      if (prop == nullptr) continue;
      prop->Field = &field;
      field.Tag = prop;
      if (prop->NameProp < 0 && -prop->NameProp <= count)
        prop->NameField = FindField(classDesc_->Prop(-prop->NameProp)->FieldName);
      else
        prop->NameField = FindField(prop->FieldName + "$");
      if (field.IsBlob()) continue;
      field.OnGetText = [this](TField& f, std::string& text, bool display) {
        FieldGetText(f, text, display);
      };
      field.OnSetText = [this](TField& f, const std::string& text) { FieldSetText(f, text); };
      if (masking && rights->Locate("PropId", Variant(prop->PropId), loCaseInsensitive))
        field.OnGetText = &TSysClassEntity::FieldGetNull;
    }
    NotifyChange();
    result = true;
  } catch (...) {
    ReportError("TSysClassEntity.SetClassData", CurrentExceptionMessage());
    ShowMessage(kEntityDataError);
  }
  AfterScroll = afterScroll;
  if (disabled) EnableControls();
  --LoadDepth;
  if (AfterScroll) AfterScroll(*this);
  return result;
}

bool TSysClassEntity::OpenClientDataSet(TClientDataSet& target, const std::string& sql) {
  Variant data;
  Server().OpenSQL(sql, data);
  if (!data.IsBytes()) return false;
  try {
    target.UpdateIndexDefs();
    target.SetData(data);
    return true;
  } catch (...) {
    ReportError("TSysClassEntity.OpenClientDataSet", CurrentExceptionMessage());
    ShowMessage(kEntityDataError);
    return false;
  }
}

// ---- Masked columns ----

void TSysClassEntity::FieldGetNull(TField& /*field*/, std::string& text, bool /*displayText*/) {
  text = "*";
}

void TSysClassEntity::FieldSetNull(TField& /*field*/, const std::string& /*text*/) {}

// ---- Posting and saving ----

void TSysClassEntity::PostWithoutCheck(bool check) {
  CheckOnPost = check;
  try {
    Post();
  } catch (...) {
    CheckOnPost = true;
    throw;
  }
  CheckOnPost = true;
}

bool TSysClassEntity::Save(const std::string& text) {
  try {
    Init(0);
    if (LocalOnly) return true;
    if (State() != TDataSetState::dsBrowse || ChangeCount() == 0) return true;
    Variant description;
    if (classDesc_->FullDesc() == 1) {
      description = classDesc_->SaveToVariant(false);
    } else {
      TSysClassDesc header(nullptr, classDesc_->LanguageType(), ClassID());
      header.Rec().QueryKind = classDesc_->QueryKind();
      header.Rec().SearchFlag = classDesc_->SearchFlag();
      description = header.SaveToVariant(false);
    }
    if (!Server().SaveClassData(description, GetDelta(), text.empty() ? SaveText : text))
      throw Error(std::string(kSaveError));
    MergeChangeLog();
    return true;
  } catch (...) {
    ReportSaveError("TSysClassEntity.Save", CurrentExceptionMessage());
    return false;
  }
}

void TSysClassEntity::ReportSaveError(std::string_view source, const std::string& message) {
  ReportError(source, message);
  if (message.starts_with("@")) {
    // At most 2,048 characters of the server's text, cut on a character boundary.
    std::string shown = message.substr(1);
    std::size_t chars = 0, end = 0;
    for (; end < shown.size(); ++end)
      if ((static_cast<unsigned char>(shown[end]) & 0xC0) != 0x80 && ++chars > 2048) break;
    ShowMessage(shown.substr(0, end));
  } else {
    ShowMessage(kSaveErrorShown);
  }
}

void TSysClassEntity::DeleteWhere(const std::string& condition) {
  if (condition.empty()) throw Error("不能删除无条件的全部数据记录");
  Variant data;
  Server().OpenSQL("DELETE FROM " + classDesc_->Rec().TableName + " WHERE " + condition, data);
}

}  // namespace sw
