// The master-detail entity: the tree of entities, key links between a detail and its master, conditions
// naming the ancestors' values, and the save of the whole tree in one call.
#include "sw/data/sysMasterDetail.h"

#include <exception>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/server/sysPstInterface.h"

namespace sw {

namespace {

constexpr std::size_t kMaxKeyText = 255;
constexpr std::size_t kMaxRest = 250;

// Takes the next item of a ";"-separated list: the text before the first ";" ("" when the text begins with
// ";" or holds none); the list keeps what follows, at most 250 characters of it.
std::string NextItem(std::string& list) {
  const std::size_t semi = list.find(';');
  if (semi == std::string::npos) {
    list.clear();
    return "";
  }
  std::string item = list.substr(0, semi);
  list = list.substr(semi + 1, kMaxRest);
  return item;
}

std::string Capped(std::string text) {
  if (text.size() > kMaxKeyText) text.resize(kMaxKeyText);
  return text;
}

// Depth first: the entity, then its details in order.
template <class F>
void Walk(TSysMasterDetail& entity, const F& visit) {
  visit(entity);
  for (const auto& [name, detail] : entity.Details()) Walk(*detail, visit);
}

class HeldControls {
 public:
  explicit HeldControls(TClientDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
  ~HeldControls() { dataSet_.EnableControls(); }
  HeldControls(const HeldControls&) = delete;
  HeldControls& operator=(const HeldControls&) = delete;

 private:
  TClientDataSet& dataSet_;
};

}  // namespace

TSysMasterDetail::TSysMasterDetail(std::int32_t classId) : TSysClassEntity(classId) {
  AutoSave = false;
}

// ---- The tree ----

void TSysMasterDetail::AddDetail(const std::string& name, TSysMasterDetail* detail) {
  if (detail == nullptr) throw Error("Detail \"" + name + "\" is no entity");
  details_.emplace_back(name, detail);
  detail->SetMaster(this);
}

void TSysMasterDetail::DetailsChanged() {
  for (const auto& [name, detail] : details_) detail->DetailsChanged();
}

TSysMasterDetail* TSysMasterDetail::FindDetail(std::string_view name) const {
  for (const auto& [n, detail] : details_)
    if (n == name) return detail;
  return nullptr;
}

TSysMasterDetail* TSysMasterDetail::FindDetailByClass(std::int32_t classId) const {
  TSysMasterDetail* found = nullptr;
  for (const auto& [name, detail] : details_)
    if (detail->ClassID() == classId) found = detail;
  return found;
}

bool TSysMasterDetail::HasChanges() const {
  if (ChangeCount() > 0) return true;
  for (const auto& [name, detail] : details_)
    if (detail->HasChanges()) return true;
  return false;
}

bool TSysMasterDetail::IsEditing() const {
  if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert) return true;
  for (const auto& [name, detail] : details_)
    if (detail->IsEditing()) return true;
  return false;
}

void TSysMasterDetail::NotifyChange() {
  if (RawMode || ControlsDisabled()) return;
  TSysClassEntity::NotifyChange();
  if (master_ != nullptr) master_->NotifyChange();
}

// ---- Key links ----

std::string TSysMasterDetail::KeyFieldNames() const {
  std::string names;
  for (const auto& prop : ClassDesc().Props())
    if (prop->IsKey != 0) names += (names.empty() ? "" : ";") + prop->FieldName;
  return Capped(names);
}

std::string TSysMasterDetail::MasterKeyValues() const {
  if (master_ == nullptr) return "";
  if (Trim(MasterKeyFields).empty()) return master_->KeyText(*master_);
  if (master_->IsEmpty()) return "";
  std::string values;
  bool first = true;
  for (const std::string& name : Split(MasterKeyFields, ';')) {
    const TField* field = master_->FindField(Trim(name));
    if (field == nullptr) continue;
    values += (first ? "" : ";") + Trim(field->AsString());
    first = false;
  }
  return Capped(values);
}

void TSysMasterDetail::Post() {
  if (!RawMode && master_ != nullptr && State() == TDataSetState::dsInsert) {
    std::string names = (Trim(DetailKeyFields).empty() ? KeyFieldNames() : DetailKeyFields) + ";";
    std::string values = MasterKeyValues() + ";";
    for (;;) {
      const std::string name = Trim(NextItem(names));
      const std::string value = NextItem(values);
      if (name.empty() || Trim(value).empty()) break;
      if (TField* field = FindField(name)) field->SetText(value);
    }
  }
  TSysClassEntity::Post();
}

void TSysMasterDetail::RefreshFromMaster() {
  if (master_ == nullptr) return;
  const std::string values = MasterKeyValues();
  if (Trim(values).empty()) {
    SearchWhere("1=2", "", 1, 0);
  } else if (Trim(DetailKeyFields).empty()) {
    Read(values, 1);
  } else {
    std::string names = DetailKeyFields + ";";
    std::string rest = values + ";";
    std::string condition;
    for (;;) {
      const std::string name = Trim(NextItem(names));
      const std::string value = NextItem(rest);
      if (name.empty() || Trim(value).empty()) break;
      const TSysPropDesc* prop = ClassDesc().FindByFieldName(name);
      if (prop == nullptr) continue;
      condition +=
          (condition.empty() ? "" : " AND ") + prop->FieldName + "=" + Literal(prop->DataType, value);
    }
    SearchWhere(condition, "", 1, 0);
  }
}

void TSysMasterDetail::AppendCopy() {
  const bool editing = State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert;
  if (editing && !IsEmpty()) return;
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < FieldCount(); ++i) texts.push_back(Trim(Fields(i).AsString()));
  Append();
  for (std::size_t i = 0; i < FieldCount(); ++i) {
    const TSysPropDesc* prop = PropOfField(Fields(i));
    if (prop != nullptr && prop->IsKey != 0) continue;
    if (!texts[i].empty()) Fields(i).SetAsString(texts[i]);
  }
}

// ---- Conditions naming the ancestors ----

std::string TSysMasterDetail::ExpandCondition(const std::string& text, bool useValues) {
  if (Trim(text).empty()) return "";
  std::string result = TSysClassEntity::ExpandCondition(text, useValues);
  for (TSysMasterDetail* a = master_; a != nullptr; a = a->master_) {
    const std::string& table = a->ClassDesc().Rec().TableName;
    for (const auto& prop : a->ClassDesc().Props())
      if (prop->Field != nullptr)
        result = ReplaceAllText(result, table + "." + prop->FieldName,
                                Literal(prop->DataType, prop->Field->Text()));
  }
  return result;
}

std::string TSysMasterDetail::ExpandRefCondition(TSysPropDesc& prop) {
  std::string result = TSysClassEntity::ExpandRefCondition(prop);
  for (TSysMasterDetail* a = master_; a != nullptr; a = a->master_) {
    const TSysClassDescRec& rec = a->ClassDesc().Rec();
    result = ReplaceAllText(result, "&HEADTABLE&", rec.TableName);
    for (const auto& p : a->ClassDesc().Props()) {
      if (p->Field == nullptr) continue;
      const std::string literal = Literal(p->DataType, p->Field->Text());
      result = ReplaceAllText(result, "[" + rec.TableName + "." + p->FieldName + "]", literal);
      result = ReplaceAllText(result, "[" + rec.ClassCaption + "." + p->Caption + "]", literal);
    }
  }
  return result;
}

TSysPropDesc* TSysMasterDetail::FindProp(std::string_view reference, bool searchFurther) {
  if (TSysPropDesc* prop = TSysClassEntity::FindProp(reference)) return prop;
  if (!searchFurther || reference.find('.') == std::string_view::npos) return nullptr;
  if (master_ != nullptr)
    if (TSysPropDesc* prop = master_->FindProp(reference, false)) return prop;
  for (const auto& [name, detail] : details_)
    if (TSysPropDesc* prop = detail->FindProp(reference, false)) return prop;
  return nullptr;
}

// ---- Saving the tree ----

bool TSysMasterDetail::DoSave(const std::string& text) {
  const std::string sent = text.empty() ? SaveText : text;
  try {
    std::vector<TSysMasterDetail*> changed;
    Walk(*this, [&changed](TSysMasterDetail& e) {
      {
        HeldControls held(e);
        if (e.State() == TDataSetState::dsEdit || e.State() == TDataSetState::dsInsert) e.Post();
      }
      if (e.ChangeCount() > 0) changed.push_back(&e);
    });
    const bool head = !changed.empty() && ChangeCount() == 0 && !HeadText.empty();
    if (changed.empty()) return true;
    VariantArray descriptions, deltas;
    if (head) {
      descriptions.items.emplace_back(HeadText);
      deltas.items.emplace_back(HeadText);
    }
    for (TSysMasterDetail* e : changed) {
      descriptions.items.push_back(e->ClassDesc().SaveToVariant(false));
      deltas.items.push_back(e->GetDelta());
    }
    if (AppServerIntf == nullptr) throw Error("The application server interface is not available");
    AppServerIntf->SaveMasterDetailData(Variant(std::move(descriptions)), Variant(std::move(deltas)), sent);
    for (TSysMasterDetail* e : changed) e->MergeChangeLog();
    RecordTotal = 0;
    return true;
  } catch (const Abort&) {
    return false;  // a pending row failed its checks and has shown why
  } catch (...) {
    ReportSaveError("TSysMasterDetail.DoSave", CurrentExceptionMessage());
    return false;
  }
}

}  // namespace sw
