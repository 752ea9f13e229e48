// Posting, cancelling and deleting records of the entity: server numbers, default values, the checks of every
// property, the duplicate check against a snapshot taken when editing began, the automatic save and the
// upkeep of consecutive order numbers.
#include <algorithm>
#include <vector>

#include "sw/common/CommonUnits.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/sysBaseBL.h"
#include "sw/server/sysPstInterface.h"

namespace sw {

namespace {

constexpr std::int32_t kNoOrderMark = -9999;
constexpr int kMaxOrderedRecords = 100;
constexpr std::size_t kMaxKeyText = 255;

bool IsSmallIntegerStorage(TFieldType t) {
  return t == TFieldType::ftSmallint || t == TFieldType::ftInteger;
}

bool TakesServerNumber(TFieldType t) {
  return IsSmallIntegerStorage(t) || t == TFieldType::ftFloat || t == TFieldType::ftCurrency ||
         t == TFieldType::ftBCD || t == TFieldType::ftLargeint;
}

// Runs an action when leaving a scope, also by an exception.
template <class F>
class Finally {
 public:
  explicit Finally(F f) : f_(std::move(f)) {}
  ~Finally() { f_(); }
  Finally(const Finally&) = delete;
  Finally& operator=(const Finally&) = delete;

 private:
  F f_;
};

}  // namespace

// ---- Derived texts ----

std::string TSysClassEntity::KeyText(const TClientDataSet& dataSet) const {
  if (!dataSet.Active() || dataSet.IsEmpty()) return "";
  std::string text;
  for (const auto& prop : classDesc_->Props()) {
    if (prop->IsKey == 0 || prop->Field == nullptr) continue;
    if (const TField* f = dataSet.FindField(prop->FieldName)) text += ";" + Trim(f->AsString());
  }
  if (!text.empty()) text.erase(0, 1);
  if (text.size() > kMaxKeyText) text.resize(kMaxKeyText);
  return text;
}

std::string TSysClassEntity::UniqueText(const TClientDataSet& dataSet) const {
  std::string text;
  for (const std::string& name : UniqueFields)
    if (const TField* f = dataSet.FindField(name)) text += ";" + f->AsString();
  return text;
}

// ---- Hooks of the data set ----

void TSysClassEntity::DoBeforeInsert() {
  TClientDataSet::DoBeforeInsert();
  for (const auto& prop : classDesc_->Props()) prop->BadText.clear();
  if ((UniqueCheck == 1 || UniqueCheck == 2) && !UniqueFields.empty()) {
    if (!Snapshot) Snapshot = std::make_unique<TClientDataSet>();
    EditKeyText = KeyText(*this);
    Snapshot->SetData(GetData());
  }
}

void TSysClassEntity::DoBeforeEdit() {
  TClientDataSet::DoBeforeEdit();
  for (const auto& prop : classDesc_->Props()) prop->BadText.clear();
  if ((UniqueCheck == 1 || UniqueCheck == 2) && !UniqueFields.empty()) {
    if (!Snapshot) Snapshot = std::make_unique<TClientDataSet>();
    EditKeyText = KeyText(*this);
    Snapshot->SetData(GetData());
  }
}

void TSysClassEntity::DoBeforePost() {
  if (RawMode) return;
  const bool inserting = State() == TDataSetState::dsInsert;
  if (inserting)
    DoBeforeInsertPost();
  else
    DoBeforeEditPost();
  if (!checkingPost_) {
    TClientDataSet::DoBeforePost();
    return;
  }
  if (!CheckOnPost) {
    ErrorText.clear();
  } else {
    std::string collected;
    for (const auto& prop : classDesc_->Props()) {
      if (prop->Field == nullptr) continue;
      const Variant old = inserting ? Variant("") : prop->Field->OldValue();
      ErrorText.clear();
      if (!CheckValue(*prop, prop->Field->Text(), false, old)) {
        PostFailed = true;
        if (!ErrorText.empty()) collected += "\r\n" + ErrorText;
      }
    }
    ErrorText = collected;

    if (ErrorText.empty() && (UniqueCheck == 1 || UniqueCheck == 2) && !UniqueFields.empty() && Snapshot &&
        Snapshot->Active()) {
      const std::string mine = UniqueText(*this);
      int count = 0;
      bool duplicate = false;
      for (Snapshot->First(); !Snapshot->Eof() && !duplicate; Snapshot->Next()) {
        if (UniqueText(*Snapshot) != mine) continue;
        ++count;
        duplicate = inserting || KeyText(*Snapshot) != EditKeyText || count > 1;
      }
      if (duplicate) {
        if (!UniqueMessage.empty()) {
          ErrorText = UniqueMessage;
        } else {
          std::vector<std::string> captions;
          for (const std::string& name : UniqueFields)
            if (const TSysPropDesc* prop = classDesc_->FindByFieldName(name))
              captions.push_back(prop->Caption);
          ErrorText = "属性\"" + Join(captions, ",") + "\"的数据重复!";
        }
        if (UniqueCheck == 2) {
          if (UApp().Confirm(ErrorText + "\r\r" + "需要修改吗？")) throw Abort();
          ErrorText.clear();
        } else {
          PostFailed = true;
        }
      }
    }
  }
  TClientDataSet::DoBeforePost();
  // A failed check stops the data set's post, so that the record stays in editing.
  if (PostFailed) throw Abort();
}

void TSysClassEntity::DoBeforeDelete() {
  if (RawMode) return;
  TClientDataSet::DoBeforeDelete();
  DoDeleting();
}

void TSysClassEntity::DoAfterDelete() {
  if (RawMode) return;
  TClientDataSet::DoAfterDelete();
  if (DeleteDepth > 0) return;
  ++DeleteDepth;
  DisableControls();
  Finally restore([this] {
    EnableControls();
    DeleteDepth = 0;
  });
  if (AutoSave && ChangeCount() > 0 && !Save("")) CancelUpdates();
  if (PostDepth == 0) {
    ++PostDepth;
    Finally lower([this] { --PostDepth; });
    Renumber(false);
  }
  NotifyChange();
}

// ---- Post and cancel ----

void TSysClassEntity::Post() {
  if (RawMode || PostDepth > 0 || classDesc_->SelectMode() != 0) {
    TClientDataSet::Post();
    return;
  }
  ++PostDepth;
  Finally done([this] {
    NotifyChange();
    PostDepth = 0;
  });
  const bool inserting = State() == TDataSetState::dsInsert;
  bool renumber = false;
  for (const auto& prop : classDesc_->Props()) {
    if (prop->Field == nullptr || prop->Field->IsBlob()) continue;
    TField& field = *prop->Field;
    const TFieldType storage = field.DataType();
    if (inserting && prop->AutoKind == 1 && TakesServerNumber(storage)) {
      if (AppServerIntf == nullptr) throw Error("The application server interface is not available");
      const std::int64_t id = AppServerIntf->GetNewID(ClassID(), prop->PropId);
      if (storage == TFieldType::ftFloat)
        field.SetAsFloat(static_cast<double>(id));
      else if (storage == TFieldType::ftCurrency || storage == TFieldType::ftBCD)
        field.SetAsCurrency(Currency::FromUnits(id));
      else
        field.SetAsInteger(id);
    } else {
      std::string text;
      if (field.IsNull() && DefaultValueText(*prop, text)) {
        if (prop->MustExist != 0)
          field.SetText(text);
        else
          field.SetAsString(text);
      }
    }
    if (AutoOrderEnabled && !LocalOnly && prop->AutoOrder != 0 && RecordCount() < kMaxOrderedRecords &&
        IsSmallIntegerStorage(storage)) {
      prop->OrderMark = field.IsNull() ? RecordCount() + 1 : field.AsInteger();
      const Variant old = field.OldValue();
      if (old.IsBlank() || old.ToString() != field.Value().ToString()) {
        field.SetAsInteger(-1);
        renumber = true;
      }
    } else {
      prop->OrderMark = kNoOrderMark;
    }
  }

  PostFailed = false;
  try {
    checkingPost_ = true;
    Finally unchecked([this] { checkingPost_ = false; });
    TClientDataSet::Post();
  } catch (const Abort&) {
    if (!PostFailed) throw;
    if (!ErrorText.empty()) ShowMessage(ErrorText);
    SetModified(true);
    throw;
  }
  if (LocalOnly) return;
  if (AutoSave && !Save("")) {
    Edit();
    SetModified(true);
    throw Abort();
  }
  if (renumber) Renumber(true);
}

void TSysClassEntity::Cancel() {
  if (CancelDepth > 0) return;
  ++CancelDepth;
  Finally reset([this] { CancelDepth = 0; });
  TClientDataSet::Cancel();
  if (AutoSave && ChangeCount() > 0) CancelUpdates();
  NotifyChange();
}

// ---- Order numbers ----

void TSysClassEntity::Renumber(bool afterPost) {
  if (!AutoOrderEnabled || !Active() || IsEmpty()) return;
  const std::string indexName = IndexName();
  const std::string indexFields = IndexFieldNames();
  const bool raw = RawMode;
  Finally restore([&] {
    RawMode = raw;
    if (!indexName.empty())
      SetIndexName(indexName);
    else
      SetIndexFieldNames(indexFields);
  });
  for (const auto& prop : classDesc_->Props()) {
    if (prop->AutoOrder == 0 || prop->OrderMark == kNoOrderMark || prop->Field == nullptr ||
        !IsSmallIntegerStorage(prop->Field->DataType()))
      continue;
    TField& field = *prop->Field;
    // A number is set with the data set's own post, checks and hooks aside, and saved at once.
    const auto setNumber = [&](std::int64_t n) {
      RawMode = true;
      Edit();
      field.SetAsInteger(n);
      TClientDataSet::Post();
      RawMode = raw;
      if (AutoSave) Save("");
    };
    const int count = RecordCount();
    std::int64_t target = 1;
    if (count == 1) {
      First();
      if (field.AsInteger() != 1) setNumber(1);
    } else {
      const std::int64_t limit = prop->OrderMark > 0 ? std::min(prop->OrderMark, count) : 1;
      target = afterPost ? limit : field.AsInteger();
      SetIndexFieldNames(field.FieldName());
      // The numbers are worked out on the sorted list first and written afterwards in the order the walk
      // sets them (the largest first when records move down), so that the records do not move under the
      // walk and a unique key never holds the same number twice on the way.
      std::vector<TBookmark> marks;
      std::vector<std::int64_t> numbers;
      for (First(); !Eof(); Next()) {
        marks.push_back(GetBookmark());
        numbers.push_back(field.AsInteger());
      }
      std::vector<std::pair<std::size_t, std::int64_t>> writes;
      const auto set = [&numbers, &writes](std::size_t i, std::int64_t v) {
        if (numbers[i] == v) return;
        numbers[i] = v;
        writes.emplace_back(i, v);
      };
      const std::size_t n = numbers.size();
      const bool leading = numbers[0] == -1;
      const std::size_t start = leading ? 1 : 0;
      if (start < n && numbers[start] > 0) {
        std::int64_t next = 1;
        for (std::size_t i = start; i < n; ++i) set(i, next++);
        std::int64_t c = static_cast<std::int64_t>(n);
        for (std::size_t i = n; i-- > 0; --c)
          if (numbers[i] >= limit) set(i, c);
      } else {
        std::int64_t e = std::max<std::int64_t>(numbers[n - 1], static_cast<std::int64_t>(n));
        for (std::size_t i = n; i-- > 0; --e)
          if (!(i == 0 && leading)) set(i, e);
        std::int64_t next = 1;
        for (std::size_t i = start; i < n; ++i, ++next)
          if (numbers[i] <= limit) set(i, next);
      }
      if (leading) set(0, limit);
      for (const auto& [i, v] : writes) {
        GotoBookmark(marks[i]);
        setNumber(v);
      }
    }
    Locate(field.FieldName(), Variant(target));
  }
}

}  // namespace sw
