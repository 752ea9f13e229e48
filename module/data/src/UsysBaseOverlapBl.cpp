// The overlap check of a master-detail entity: the key texts of the loaded rows and the check of typed
// values against them.
#include "sw/data/UsysBaseOverlapBl.h"

#include <algorithm>

#include "sw/common/CommonUnits.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

TSysMasterDetailOverlap::TSysMasterDetailOverlap(std::int32_t classId) : TSysMasterDetail(classId) {
  SetOverlapFields("");
}

void TSysMasterDetailOverlap::SetOverlapFields(const std::string& text) {
  overlapFields_ = text;
  overlapFieldList_.clear();
  if (!text.empty()) overlapFieldList_ = Split(text, ';');
}

bool TSysMasterDetailOverlap::IsOverlapField(const std::string& name) const {
  return std::any_of(overlapFieldList_.begin(), overlapFieldList_.end(),
                     [&name](const std::string& f) { return SameText(f, name); });
}

bool TSysMasterDetailOverlap::HasKey(const std::string& key) const {
  if (overlapFields_.empty()) return false;
  return std::find(keyList_.begin(), keyList_.end(), key) != keyList_.end();
}

void TSysMasterDetailOverlap::RemoveKey(const std::string& key) {
  if (overlapFields_.empty()) return;
  const auto it = std::find(keyList_.begin(), keyList_.end(), key);
  if (it != keyList_.end()) keyList_.erase(it);
}

void TSysMasterDetailOverlap::PutKey(const std::string& oldKey, const std::string& newKey) {
  if (overlapFields_.empty()) return;
  const auto it = std::find(keyList_.begin(), keyList_.end(), oldKey);
  if (!oldKey.empty() && it != keyList_.end())
    *it = newKey;
  else
    keyList_.push_back(newKey);
}

std::string TSysMasterDetailOverlap::OverlapKeyText() const {
  std::string text;
  bool first = true;
  for (const std::string& name : overlapFieldList_) {
    const TField* field = FindField(name);
    if (field == nullptr) continue;
    text += (first ? "" : ";") + Trim(field->Text());
    first = false;
  }
  return text;
}

void TSysMasterDetailOverlap::BuildKeyList() {
  if (!CheckOverlap || overlapFields_.empty()) return;
  keyList_.clear();
  if (!Active() || IsEmpty()) return;
  DisableControls();
  try {
    for (First(); !Eof(); Next()) keyList_.push_back(OverlapKeyText());
    First();
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

bool TSysMasterDetailOverlap::Search(const std::string& fieldList, const std::string& condition,
                                     const std::string& passThrough, int queryKind, int searchFlag) {
  const bool result = TSysMasterDetail::Search(fieldList, condition, passThrough, queryKind, searchFlag);
  if (CheckOverlap) BuildKeyList();
  return result;
}

void TSysMasterDetailOverlap::DoBeforeEdit() {
  TSysMasterDetail::DoBeforeEdit();
  if (CheckOverlap) editKey_ = OverlapKeyText();
}

void TSysMasterDetailOverlap::DoBeforeInsert() {
  TSysMasterDetail::DoBeforeInsert();
  editKey_.clear();
}

void TSysMasterDetailOverlap::DoAfterPost() {
  TSysMasterDetail::DoAfterPost();
  if (CheckOverlap) PutKey(editKey_, OverlapKeyText());
}

void TSysMasterDetailOverlap::DoBeforeDelete() {
  TSysMasterDetail::DoBeforeDelete();
  if (CheckOverlap) RemoveKey(OverlapKeyText());
}

bool TSysMasterDetailOverlap::CheckPropValue(TSysPropDesc& prop, const std::string& text,
                                             const Variant& oldValue) {
  if (PostDepth == 0 && IsOverlapField(prop.FieldName) && prop.Field != nullptr && CheckOverlap) {
    const std::string oldText = oldValue.IsBlank() ? "" : oldValue.ToString();
    if (text != oldText && text != Trim(prop.Field->Text())) {
      std::string candidate;
      bool first = true;
      for (const std::string& name : overlapFieldList_) {
        const TField* field = FindField(name);
        if (field == nullptr) continue;
        candidate += (first ? "" : ";") + (field == prop.Field ? text : Trim(field->Text()));
        first = false;
      }
      if (HasKey(candidate)) {
        UApp().ShowWarning(OverlapMessage);
        throw Abort();
      }
    }
  }
  return TSysMasterDetail::CheckPropValue(prop, text, oldValue);
}

}  // namespace sw
