#include "sw/dataset/ClientDataSet.h"

#include <algorithm>
#include <unordered_set>

#include "PacketCodec.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

bool ValuesMatch(const Column& key, std::size_t krow, const Column& col, std::size_t row, bool ci,
                 bool partial) {
  bool kn = key.IsNull(krow), cn = col.IsNull(row);
  if (kn || cn) return kn && cn;
  switch (col.Storage()) {
    case TStorage::Bytes: {
      std::string_view a = key.GetBytes(krow), b = col.GetBytes(row);
      if (partial) {
        if (b.size() < a.size()) return false;
        b = b.substr(0, a.size());
      }
      return ci ? SameText(a, b) : a == b;
    }
    case TStorage::Float64:
      return key.GetFloat(krow) == col.GetFloat(row);
    default:
      return key.GetInt(krow) == col.GetInt(row);
  }
}

std::vector<Variant> ValueList(const Variant& v) {
  if (v.IsArray()) return v.AsArray().items;
  return {v};
}

}  // namespace

// ---- TIndexDefs ----

void TIndexDefs::Add(TIndexDef def) {
  if (Trim(def.Name).empty()) throw Error("Index name is empty");
  if (IndexOf(def.Name) >= 0) throw Error("Index '" + def.Name + "' already exists");
  defs_.push_back(std::move(def));
}

const TIndexDef* TIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &defs_[static_cast<std::size_t>(i)];
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < defs_.size(); ++i) {
    if (SameText(defs_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

void TIndexDefs::Delete(std::size_t index) {
  if (index >= defs_.size()) throw Error("Index definition number out of range");
  defs_.erase(defs_.begin() + static_cast<std::ptrdiff_t>(index));
}

// ---- Observers ----

TDataLink::~TDataLink() {
  SetDataSet(nullptr);
}

void TDataLink::SetDataSet(TClientDataSet* ds) {
  if (dataSet_ == ds) return;
  if (dataSet_ != nullptr) {
    auto& l = dataSet_->links_;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
  }
  dataSet_ = ds;
  if (ds != nullptr) ds->links_.push_back(this);
}

TDataSource::TDataSource(TClientDataSet* ds) {
  SetDataSet(ds);
}

void TDataSource::DataSetChanged() {
  if (OnDataChange) OnDataChange(*this, nullptr);
}
void TDataSource::DataSetScrolled() {
  if (OnDataChange) OnDataChange(*this, nullptr);
}
void TDataSource::RecordChanged(TField* field) {
  if (OnDataChange) OnDataChange(*this, field);
}
void TDataSource::StateChanged() {
  if (OnStateChange) OnStateChange(*this);
}

class TClientDataSet::MasterLink : public TDataLink {
 public:
  explicit MasterLink(TClientDataSet& detail) : detail_(detail) {}
  std::vector<std::string> masterFields, detailFields;

 protected:
  void DataSetChanged() override { detail_.MasterChanged(); }
  void DataSetScrolled() override { detail_.MasterChanged(); }
  void RecordChanged(TField* field) override {
    if (field == nullptr) {
      detail_.MasterChanged();
      return;
    }
    for (const auto& m : masterFields) {
      if (SameText(m, field->FieldName())) {
        detail_.MasterChanged();
        return;
      }
    }
  }

 private:
  TClientDataSet& detail_;
};

// ---- TField ----

TField::TField(TClientDataSet& owner, TFieldDef def, std::size_t column)
    : owner_(&owner),
      def_(std::move(def)),
      column_(column),
      readOnly_(def_.ReadOnly),
      required_(def_.Required) {}

bool TField::IsNull() const {
  std::uint32_t row = owner_->CurrentRow();
  return row == kNone || owner_->table_->Col(column_).IsNull(row);
}

Variant TField::Value() const {
  std::uint32_t row = owner_->CurrentRow();
  if (row == kNone) return Variant::Null();
  return owner_->table_->Col(column_).Get(row);
}

void TField::SetValue(const Variant& v) {
  TClientDataSet& ds = *owner_;
  ds.CheckActive();
  if (ds.state_ != TDataSetState::dsEdit && ds.state_ != TDataSetState::dsInsert) {
    throw Error("Dataset not in edit or insert mode");
  }
  if (readOnly_) throw Error("Field '" + def_.Name + "' cannot be modified");
  ds.table_->Col(column_).Set(ds.editRow_, v);
  ds.modified_ = true;
  if (OnChange) OnChange(*this);
  ds.Notify(TClientDataSet::Event::RecordChanged, this);
}

Variant TField::OldValue() const {
  const TClientDataSet& ds = *owner_;
  std::uint32_t id = ds.CurrentId();
  if (id == kNone) return Variant::Null();
  auto it = ds.changes_.find(id);
  std::uint32_t row = it == ds.changes_.end() ? ds.RowOf(id) : it->second.orig;
  if (row == kNone) return Variant::Null();
  return ds.table_->Col(column_).Get(row);
}

std::string TField::AsString() const {
  Variant v = Value();
  if (v.IsNull()) return {};
  switch (def_.DataType) {
    case TFieldType::ftDate:
      return DateToStr(v.ToDateTime());
    case TFieldType::ftTime:
      return TimeToStr(v.ToDateTime());
    case TFieldType::ftBlob:
    case TFieldType::ftGraphic:
      return v.BytesAsString();
    default:
      return v.ToString();
  }
}

void TField::SetAsString(std::string_view s) {
  if (IsTextFieldType(def_.DataType) || def_.DataType == TFieldType::ftBlob ||
      def_.DataType == TFieldType::ftGraphic) {
    if (s.empty()) {
      SetValue(Variant::Null());
    } else {
      SetValue(Variant(std::string(s)));
    }
    return;
  }
  if (Trim(s).empty()) {
    SetValue(Variant::Null());
    return;
  }
  SetValue(Variant(std::string(s)));
}

std::int64_t TField::AsLargeInt() const {
  Variant v = Value();
  return v.IsNull() ? 0 : v.ToInt64();
}
std::int32_t TField::AsInteger() const {
  Variant v = Value();
  return v.IsNull() ? 0 : v.ToInt32();
}
double TField::AsFloat() const {
  Variant v = Value();
  return v.IsNull() ? 0 : v.ToDouble();
}
Currency TField::AsCurrency() const {
  Variant v = Value();
  return v.IsNull() ? Currency{} : v.ToCurrency();
}
TDateTime TField::AsDateTime() const {
  Variant v = Value();
  return v.IsNull() ? 0 : v.ToDateTime();
}
bool TField::AsBoolean() const {
  Variant v = Value();
  return v.IsNull() ? false : v.ToBool();
}

std::string TField::GetText(bool display) const {
  if (OnGetText) {
    std::string text;
    OnGetText(const_cast<TField&>(*this), text, display);
    return text;
  }
  return AsString();
}

std::string TField::Text() const {
  return GetText(false);
}
std::string TField::DisplayText() const {
  return GetText(true);
}

void TField::SetText(std::string_view text) {
  if (OnSetText) {
    OnSetText(*this, std::string(text));
  } else {
    SetAsString(text);
  }
}

// ---- TClientDataSet: basics ----

TClientDataSet::TClientDataSet() = default;

TClientDataSet::~TClientDataSet() {
  for (TDataLink* l : links_) l->dataSet_ = nullptr;
  links_.clear();
}

void TClientDataSet::AddFieldDef(std::string name, TFieldType type, int size, bool required) {
  TFieldDef d;
  d.Name = std::move(name);
  d.DataType = type;
  d.Size = size;
  d.Required = required;
  fieldDefs_.push_back(std::move(d));
}

void TClientDataSet::CheckActive() const {
  if (state_ == TDataSetState::dsInactive) throw Error("Cannot perform this operation on a closed dataset");
}

void TClientDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

void TClientDataSet::SetState(TDataSetState s) {
  if (state_ == s) return;
  state_ = s;
  Notify(Event::StateChanged);
}

void TClientDataSet::Notify(Event e, TField* field) {
  if (disableCount_ > 0) {
    if (e != Event::StateChanged) heldChange_ = true;
    return;
  }
  std::vector<TDataLink*> snapshot = links_;
  for (TDataLink* l : snapshot) {
    if (std::find(links_.begin(), links_.end(), l) == links_.end()) continue;  // removed meanwhile
    switch (e) {
      case Event::DataSetChanged:
        l->DataSetChanged();
        break;
      case Event::Scrolled:
        l->DataSetScrolled();
        break;
      case Event::RecordChanged:
        l->RecordChanged(field);
        break;
      case Event::StateChanged:
        l->StateChanged();
        break;
    }
  }
}

void TClientDataSet::DisableControls() {
  if (disableCount_++ == 0) {
    stateAtDisable_ = state_;
    heldChange_ = false;
  }
}

void TClientDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ != 0) return;
  if (stateAtDisable_ != state_) Notify(Event::StateChanged);
  if (heldChange_) {
    heldChange_ = false;
    Notify(Event::DataSetChanged);
  }
}

TField& TClientDataSet::Fields(std::size_t i) const {
  if (i >= fields_.size()) throw Error("Field index out of range");
  return *fields_[i];
}

TField* TClientDataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_) {
    if (SameText(f->FieldName(), name)) return f.get();
  }
  return nullptr;
}

TField& TClientDataSet::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (f == nullptr) throw Error("Field '" + std::string(name) + "' not found");
  return *f;
}

std::uint32_t TClientDataSet::CurrentRow() const {
  if (filterRow_ != kNone) return filterRow_;
  if (!displayRows_.empty()) return displayRows_.back();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return editRow_;
  if (state_ == TDataSetState::dsInactive) return kNone;
  const auto& v = View();
  if (v.empty()) return kNone;
  return RowOf(v[pos_]);
}

std::uint32_t TClientDataSet::CurrentId() const {
  if (state_ == TDataSetState::dsEdit) return editId_;
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsInactive) return kNone;
  const auto& v = View();
  return v.empty() ? kNone : v[pos_];
}

void TClientDataSet::BuildFields() {
  fields_.clear();
  for (std::size_t i = 0; i < table_->ColumnCount(); ++i) {
    fields_.push_back(std::make_unique<TField>(*this, table_->Defs()[i], i));
  }
}

// ---- Record ids and storage rows ----

void TClientDataSet::MaterializeRows() {
  if (!identityRows_) return;
  // Until the first change every record sits in the storage row of its id; the map is made on demand.
  rowOf_.resize(idCount_);
  for (std::uint32_t i = 0; i < idCount_; ++i) rowOf_[i] = i;
  identityRows_ = false;
}

void TClientDataSet::SetRowOf(std::uint32_t id, std::uint32_t row) {
  MaterializeRows();
  rowOf_[id] = row;
}

std::uint32_t TClientDataSet::NewId(std::uint32_t row) {
  if (idCount_ >= kNone - 1) throw Error("Too many records");
  std::uint32_t id = idCount_;
  if (!identityRows_ || row != id) {
    MaterializeRows();
    rowOf_.push_back(row);
  }
  ++idCount_;
  return id;
}

// ---- Opening and closing ----

void TClientDataSet::ResetRecords(std::unique_ptr<ColumnTable> table) {
  table_ = std::move(table);
  std::size_t n = table_->RowCount();
  rowOf_.clear();
  rowOf_.shrink_to_fit();
  identityRows_ = true;
  idCount_ = static_cast<std::uint32_t>(n);
  displayRows_.clear();
  natural_.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) natural_[i] = i;
  natural_.shrink_to_fit();
  view_.clear();
  view_.shrink_to_fit();
  viewIsNatural_ = true;
  changes_.clear();
  log_.clear();
  pos_ = 0;
  bof_ = true;
  eof_ = n == 0;
  editRow_ = editId_ = kNone;
  modified_ = false;
}

void TClientDataSet::CreateDataSet() {
  if (Active()) Close();
  if (fieldDefs_.empty()) throw Error("Cannot create a data set without field definitions");
  std::vector<TFieldDef> defs = fieldDefs_;
  std::stable_partition(defs.begin(), defs.end(),
                        [](const TFieldDef& d) { return d.Kind == TFieldKind::fkData; });
  auto table = std::make_unique<ColumnTable>(defs);  // raises for duplicate names or unknown types
  fieldDefs_ = defs;
  ResetRecords(std::move(table));
  BuildFields();
  state_ = TDataSetState::dsBrowse;
  // An index or filter that does not fit the new fields is dropped, and the error is raised once open.
  std::string problem = RefitIndexAndFilter();
  RebuildView(false);
  Notify(Event::StateChanged);
  Notify(Event::DataSetChanged);
  DoAfterOpen();
  if (!problem.empty()) throw Error(problem);
}

std::string TClientDataSet::RefitIndexAndFilter() {
  std::string problem;
  try {
    ResolveIndex();
  } catch (const Error& e) {
    indexName_.clear();
    indexFieldNames_.clear();
    key_.clear();
    problem = e.what();
  }
  try {
    CompileFilter();
  } catch (const Error& e) {
    filtered_ = false;
    filter_.reset();
    if (problem.empty()) problem = e.what();
  }
  return problem;
}

void TClientDataSet::Open() {
  if (Active()) return;
  throw Error("Missing data provider or data packet");
}

void TClientDataSet::SetActive(bool active) {
  if (active) {
    Open();
  } else {
    Close();
  }
}

void TClientDataSet::Close() {
  if (!Active()) return;
  DoBeforeClose();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
  fields_.clear();
  table_.reset();
  rowOf_.clear();
  identityRows_ = true;
  idCount_ = 0;
  displayRows_.clear();
  natural_.clear();
  view_.clear();
  viewIsNatural_ = true;
  changes_.clear();
  log_.clear();
  key_.clear();
  filter_.reset();
  pos_ = 0;
  bof_ = eof_ = true;
  state_ = TDataSetState::dsInactive;
  Notify(Event::StateChanged);
  Notify(Event::DataSetChanged);
}

void TClientDataSet::EmptyDataSet() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
  table_->Clear();
  auto t = std::move(table_);
  ResetRecords(std::move(t));
  RebuildView(false);
  Notify(Event::DataSetChanged);
}

// ---- Navigation ----

void TClientDataSet::SetCursor(std::size_t pos) {
  std::size_t n = View().size();
  pos_ = n == 0 ? 0 : std::min(pos, n - 1);
}

int TClientDataSet::RecordCount() const {
  if (!Active()) return 0;
  return static_cast<int>(View().size());
}

int TClientDataSet::RecNo() const {
  if (!Active() || View().empty()) return 0;
  return static_cast<int>(pos_) + 1;
}

void TClientDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  pos_ = 0;
  bof_ = true;
  eof_ = View().empty();
  Notify(Event::Scrolled);
  DoAfterScroll();
}

void TClientDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  std::size_t n = View().size();
  pos_ = n == 0 ? 0 : n - 1;
  eof_ = true;
  bof_ = n == 0;
  Notify(Event::Scrolled);
  DoAfterScroll();
}

void TClientDataSet::Next() {
  MoveBy(1);
}
void TClientDataSet::Prior() {
  MoveBy(-1);
}

int TClientDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  std::size_t n = View().size();
  if (n == 0) {
    bof_ = eof_ = true;
    return 0;
  }
  long target = static_cast<long>(pos_) + distance;
  long clamped = std::clamp(target, 0L, static_cast<long>(n) - 1);
  int moved = static_cast<int>(clamped - static_cast<long>(pos_));
  if (moved != 0) {
    DoBeforeScroll();
    pos_ = static_cast<std::size_t>(clamped);
    bof_ = eof_ = false;
    Notify(Event::Scrolled);
    DoAfterScroll();
  }
  if (distance > 0 && moved != distance) eof_ = true;
  if (distance < 0 && moved != distance) bof_ = true;
  return moved;
}

void TClientDataSet::BeginDisplayRecord(int recNo) const {
  const int n = RecordCount();
  if (recNo < 1 || recNo > n) {
    throw Error("Record " + std::to_string(recNo) + " is out of range 1.." + std::to_string(n));
  }
  const auto pos = static_cast<std::size_t>(recNo - 1);
  const bool editing = state_ == TDataSetState::dsEdit && pos == pos_;
  displayRows_.push_back(editing ? editRow_ : RowOf(View()[pos]));
}

void TClientDataSet::EndDisplayRecord() const {
  if (!displayRows_.empty()) displayRows_.pop_back();
}

void TClientDataSet::SetRecNo(int recNo) {
  CheckBrowseMode();
  int n = RecordCount();
  if (n == 0) return;
  recNo = std::clamp(recNo, 1, n);
  MoveBy(recNo - RecNo());
}

// ---- Editing ----

void TClientDataSet::StartInsert(bool append) {
  CheckBrowseMode();
  DoBeforeInsert();
  DoBeforeScroll();
  std::uint32_t cur = CurrentId();
  if (append || cur == kNone) {
    insertAt_ = natural_.size();
  } else if (viewIsNatural_) {
    insertAt_ = pos_;
  } else {
    insertAt_ = static_cast<std::size_t>(std::find(natural_.begin(), natural_.end(), cur) - natural_.begin());
  }
  editRow_ = table_->AppendNullRow();
  editId_ = kNone;
  modified_ = false;
  SetState(TDataSetState::dsInsert);
  try {
    ApplyMasterValues();
    DoOnNewRecord();
  } catch (...) {
    InternalCancel();
    throw;
  }
  Notify(Event::DataSetChanged);
  DoAfterInsert();
  DoAfterScroll();
}

void TClientDataSet::Append() {
  StartInsert(true);
}
void TClientDataSet::Insert() {
  StartInsert(false);
}

void TClientDataSet::Edit() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  if (IsEmpty()) {
    Insert();
    return;
  }
  DoBeforeEdit();
  std::uint32_t id = CurrentId();
  editRow_ = table_->AppendCopy(*table_, RowOf(id));
  editId_ = id;
  modified_ = false;
  SetState(TDataSetState::dsEdit);
  DoAfterEdit();
}

void TClientDataSet::Post() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DoBeforePost();
  for (const auto& f : fields_) {
    if (f->Required() && f->FieldKind() == TFieldKind::fkData && table_->Col(f->Index()).IsNull(editRow_)) {
      throw Error("Field '" + f->FieldName() + "' must have a value");
    }
  }
  std::uint32_t id;
  std::size_t fallback = state_ == TDataSetState::dsInsert && viewIsNatural_ ? insertAt_ : pos_;
  if (state_ == TDataSetState::dsEdit) {
    id = editId_;
    if (LogChanges) {
      auto it = changes_.find(id);
      LogEntry e{id,
                 TUpdateKind::ukModify,
                 RowOf(id),
                 it != changes_.end(),
                 it != changes_.end() ? it->second : Change{kNone, TUpdateStatus::usUnmodified},
                 0};
      log_.push_back(e);
      if (it == changes_.end()) changes_[id] = Change{RowOf(id), TUpdateStatus::usModified};
    }
    SetRowOf(id, editRow_);
  } else {
    id = NewId(editRow_);
    insertAt_ = std::min(insertAt_, natural_.size());
    natural_.insert(natural_.begin() + static_cast<std::ptrdiff_t>(insertAt_), id);
    if (LogChanges) {
      changes_[id] = Change{kNone, TUpdateStatus::usInserted};
      log_.push_back(LogEntry{id, TUpdateKind::ukInsert, kNone, false,
                              Change{kNone, TUpdateStatus::usUnmodified},
                              static_cast<std::uint32_t>(insertAt_)});
    }
  }
  editRow_ = editId_ = kNone;
  modified_ = false;
  // Observers hear of the new state once the posted record has its place, so they read consistent values.
  state_ = TDataSetState::dsBrowse;
  PositionAfterChange(id, fallback);
  Notify(Event::StateChanged);
  Notify(Event::DataSetChanged);
  DoAfterPost();
}

void TClientDataSet::InternalCancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  if (editRow_ != kNone && editRow_ + 1 == table_->RowCount()) table_->PopBack();
  editRow_ = editId_ = kNone;
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  SetCursor(pos_);
  Notify(Event::DataSetChanged);
}

void TClientDataSet::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DoBeforeCancel();
  InternalCancel();
  DoAfterCancel();
}

void TClientDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (state_ == TDataSetState::dsEdit) InternalCancel();
  if (IsEmpty()) throw Error("Cannot perform this operation on an empty dataset");
  DoBeforeDelete();
  DoBeforeScroll();
  std::uint32_t id = CurrentId();
  auto np =
      viewIsNatural_
          ? pos_
          : static_cast<std::size_t>(std::find(natural_.begin(), natural_.end(), id) - natural_.begin());
  if (LogChanges) {
    auto it = changes_.find(id);
    bool had = it != changes_.end();
    Change prev = had ? it->second : Change{kNone, TUpdateStatus::usUnmodified};
    log_.push_back(LogEntry{id, TUpdateKind::ukDelete, RowOf(id), had, prev, static_cast<std::uint32_t>(np)});
    changes_[id] = Change{had ? prev.orig : RowOf(id), TUpdateStatus::usDeleted};
  } else {
    changes_.erase(id);
    SetRowOf(id, kNone);
  }
  if (np < natural_.size()) natural_.erase(natural_.begin() + static_cast<std::ptrdiff_t>(np));
  if (!viewIsNatural_) {
    auto it = std::find(view_.begin(), view_.end(), id);
    if (it != view_.end()) view_.erase(it);
  }
  SetCursor(pos_);
  bof_ = eof_ = View().empty();
  Notify(Event::DataSetChanged);
  DoAfterDelete();
  DoAfterScroll();
}

void TClientDataSet::AppendRecord(const std::vector<Variant>& values) {
  if (values.size() > fields_.size()) throw Error("More values than fields");
  Append();
  try {
    for (std::size_t i = 0; i < values.size(); ++i) fields_[i]->SetValue(values[i]);
    Post();
  } catch (...) {
    if (state_ == TDataSetState::dsInsert) InternalCancel();
    throw;
  }
}

// ---- Hooks ----

void TClientDataSet::DoBeforeInsert() {
  if (BeforeInsert) BeforeInsert(*this);
}
void TClientDataSet::DoAfterInsert() {
  if (AfterInsert) AfterInsert(*this);
}
void TClientDataSet::DoBeforeEdit() {
  if (BeforeEdit) BeforeEdit(*this);
}
void TClientDataSet::DoAfterEdit() {
  if (AfterEdit) AfterEdit(*this);
}
void TClientDataSet::DoBeforePost() {
  if (BeforePost) BeforePost(*this);
}
void TClientDataSet::DoAfterPost() {
  if (AfterPost) AfterPost(*this);
}
void TClientDataSet::DoBeforeCancel() {
  if (BeforeCancel) BeforeCancel(*this);
}
void TClientDataSet::DoAfterCancel() {
  if (AfterCancel) AfterCancel(*this);
}
void TClientDataSet::DoBeforeDelete() {
  if (BeforeDelete) BeforeDelete(*this);
}
void TClientDataSet::DoAfterDelete() {
  if (AfterDelete) AfterDelete(*this);
}
void TClientDataSet::DoBeforeScroll() {
  if (BeforeScroll) BeforeScroll(*this);
}
void TClientDataSet::DoAfterScroll() {
  if (AfterScroll) AfterScroll(*this);
}
void TClientDataSet::DoOnNewRecord() {
  if (OnNewRecord) OnNewRecord(*this);
}
void TClientDataSet::DoAfterOpen() {
  if (AfterOpen) AfterOpen(*this);
}
void TClientDataSet::DoBeforeClose() {
  if (BeforeClose) BeforeClose(*this);
}

// ---- Bookmarks ----

TBookmark TClientDataSet::GetBookmark() const {
  if (state_ == TDataSetState::dsInsert) return {};
  return TBookmark{CurrentId()};
}

bool TClientDataSet::BookmarkValid(TBookmark b) const {
  if (!Active() || b.Empty()) return false;
  const auto& v = View();
  return std::find(v.begin(), v.end(), b.id) != v.end();
}

void TClientDataSet::GotoBookmark(TBookmark b) {
  CheckBrowseMode();
  const auto& v = View();
  auto it = b.Empty() ? v.end() : std::find(v.begin(), v.end(), b.id);
  if (it == v.end()) throw Error("Record not found");
  DoBeforeScroll();
  pos_ = static_cast<std::size_t>(it - v.begin());
  bof_ = eof_ = false;
  Notify(Event::Scrolled);
  DoAfterScroll();
}

// ---- Order, filter and master link ----

std::vector<std::size_t> TClientDataSet::KeyColumns(std::string_view names) const {
  std::vector<std::size_t> cols;
  for (const auto& n : SplitNames(names)) {
    int i = table_->IndexOf(n);
    if (i < 0) throw Error("Field '" + n + "' not found");
    cols.push_back(static_cast<std::size_t>(i));
  }
  return cols;
}

void TClientDataSet::ResolveIndex() {
  std::vector<KeyPart> key;
  if (!indexName_.empty()) {
    const TIndexDef* def = indexDefs_.Find(indexName_);
    if (def == nullptr) throw Error("Index '" + indexName_ + "' not found");
    auto desc = SplitNames(def->DescFields);
    auto cins = SplitNames(def->CaseInsFields);
    auto listed = [](const std::vector<std::string>& list, const std::string& name) {
      return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return SameText(s, name); });
    };
    for (const auto& n : SplitNames(def->Fields)) {
      int i = table_->IndexOf(n);
      if (i < 0) throw Error("Field '" + n + "' not found");
      key.push_back(KeyPart{static_cast<std::size_t>(i),
                            (def->Options & ixDescending) != 0 || listed(desc, n),
                            (def->Options & ixCaseInsensitive) != 0 || listed(cins, n)});
    }
  } else {
    for (std::size_t c : KeyColumns(indexFieldNames_)) key.push_back(KeyPart{c, false, false});
  }
  key_ = std::move(key);
}

void TClientDataSet::CompileFilter() {
  if (Trim(filterText_).empty()) {
    filter_.reset();
    return;
  }
  filter_ = std::make_unique<FilterExpr>(filterText_, *table_);
}

bool TClientDataSet::Less(std::uint32_t a, std::uint32_t b) const {
  std::uint32_t ra = RowOf(a), rb = RowOf(b);
  for (const KeyPart& k : key_) {
    int c = table_->Col(k.column).Compare(ra, rb, k.caseInsensitive);
    if (c != 0) return k.descending ? c > 0 : c < 0;
  }
  return a < b;
}

bool TClientDataSet::Visible(std::uint32_t id) {
  std::uint32_t row = RowOf(id);
  if (master_ && master_->DataSet() != nullptr) {
    if (masterNone_) return false;
    for (std::size_t i = 0; i < masterCols_.size(); ++i) {
      if (!ValuesMatch(masterKey_->Col(i), 0, table_->Col(masterCols_[i]), row, false, false)) return false;
    }
  }
  if (!filtered_) return true;
  if (filter_ && !filter_->Matches(*table_, row, (filterOptions_ & foCaseInsensitive) != 0)) return false;
  if (onFilterRecord_) {
    struct Guard {
      std::uint32_t& r;
      ~Guard() { r = kNone; }
    } guard{filterRow_};
    filterRow_ = row;
    if (!onFilterRecord_(*this)) return false;
  }
  return true;
}

void TClientDataSet::SortView() {
  const std::size_t n = view_.size();
  if (key_.empty() || n < 2) return;
  // The keys are read once into flat arrays, so the comparisons touch only those; the order is the one Less
  // gives (nulls first, then values, then record ids).
  struct Part {
    const KeyPart* key;
    TStorage storage;
    std::vector<std::uint8_t> nulls;
    std::vector<std::int64_t> ints;
    std::vector<double> floats;
    std::vector<std::string_view> texts;
    std::vector<std::uint64_t> prefixes;  // texts: the first 8 bytes (letters folded when case-insensitive)
  };
  std::vector<Part> parts;
  for (const KeyPart& k : key_) {
    const Column& c = table_->Col(k.column);
    Part p{&k, c.Storage(), std::vector<std::uint8_t>(n), {}, {}, {}, {}};
    if (p.storage == TStorage::Bytes) {
      p.texts.resize(n);
      p.prefixes.resize(n);
    } else if (p.storage == TStorage::Float64) {
      p.floats.resize(n);
    } else {
      p.ints.resize(n);
    }
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t row = RowOf(view_[i]);
      if (c.IsNull(row)) {
        p.nulls[i] = 1;
      } else if (p.storage == TStorage::Bytes) {
        p.texts[i] = c.GetBytes(row);
        // Big-endian, zero-padded: prefixes order like the texts' first bytes, and equal prefixes fall back
        // to the full comparison.
        std::uint64_t prefix = 0;
        std::string_view t = p.texts[i];
        for (std::size_t b = 0; b < 8; ++b) {
          auto ch = b < t.size() ? static_cast<unsigned char>(t[b]) : 0;
          if (k.caseInsensitive && ch >= 'a' && ch <= 'z') ch = static_cast<unsigned char>(ch - 32);
          prefix = (prefix << 8) | ch;
        }
        p.prefixes[i] = prefix;
      } else if (p.storage == TStorage::Float64) {
        p.floats[i] = c.GetFloat(row);
      } else {
        p.ints[i] = c.GetInt(row);
      }
    }
    parts.push_back(std::move(p));
  }
  std::vector<std::uint32_t> order(n);
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    for (const Part& p : parts) {
      int c;
      if (p.nulls[a] || p.nulls[b]) {
        c = p.nulls[a] == p.nulls[b] ? 0 : (p.nulls[a] ? -1 : 1);
      } else if (p.storage == TStorage::Bytes) {
        if (p.prefixes[a] != p.prefixes[b]) {
          c = p.prefixes[a] < p.prefixes[b] ? -1 : 1;
        } else {
          c = p.key->caseInsensitive ? CompareText(p.texts[a], p.texts[b]) : p.texts[a].compare(p.texts[b]);
        }
      } else if (p.storage == TStorage::Float64) {
        c = p.floats[a] < p.floats[b] ? -1 : (p.floats[a] > p.floats[b] ? 1 : 0);
      } else {
        c = p.ints[a] < p.ints[b] ? -1 : (p.ints[a] > p.ints[b] ? 1 : 0);
      }
      if (c != 0) return p.key->descending ? c > 0 : c < 0;
    }
    return view_[a] < view_[b];
  });
  std::vector<std::uint32_t> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[i] = view_[order[i]];
  view_ = std::move(sorted);
}

void TClientDataSet::RebuildView(bool keepCurrent) {
  std::uint32_t cur = keepCurrent && state_ == TDataSetState::dsBrowse ? CurrentId() : kNone;
  bool linked = master_ && master_->DataSet() != nullptr;
  bool filtering = filtered_ && (filter_ || onFilterRecord_);
  if (linked) {
    // The master's current values, converted once to the kinds of the detail fields.
    TClientDataSet* m = master_->DataSet();
    masterNone_ = !m->Active() || m->CurrentRow() == kNone;
    masterCols_.clear();
    std::vector<TFieldDef> defs;
    for (const auto& n : master_->detailFields) {
      int i = table_->IndexOf(n);
      if (i < 0) throw Error("Field '" + n + "' not found");
      masterCols_.push_back(static_cast<std::size_t>(i));
      TFieldDef d = table_->Defs()[static_cast<std::size_t>(i)];
      d.Name = "K" + IntToStr(static_cast<std::int64_t>(defs.size()));
      defs.push_back(d);
    }
    masterKey_ = std::make_unique<ColumnTable>(defs);
    masterKey_->AppendNullRow();
    if (!masterNone_) {
      try {
        for (std::size_t i = 0; i < master_->masterFields.size(); ++i) {
          masterKey_->Col(i).Set(0, m->FieldByName(master_->masterFields[i]).Value());
        }
      } catch (const Error&) {
        masterNone_ = true;  // a master value that no detail field can hold matches no detail record
      }
    }
  }
  if (key_.empty() && !filtering && !linked) {
    viewIsNatural_ = true;
    view_.clear();
    view_.shrink_to_fit();
  } else {
    view_.clear();
    if (!filtering && !linked) {
      view_ = natural_;
    } else {
      for (std::uint32_t id : natural_) {
        if (Visible(id)) view_.push_back(id);
      }
    }
    SortView();
    viewIsNatural_ = false;
  }
  const auto& v = View();
  auto it = cur == kNone ? v.end() : std::find(v.begin(), v.end(), cur);
  if (it != v.end()) {
    pos_ = static_cast<std::size_t>(it - v.begin());
  } else {
    SetCursor(keepCurrent ? pos_ : 0);
  }
  bof_ = eof_ = v.empty();
}

void TClientDataSet::PositionAfterChange(std::uint32_t id, std::size_t fallbackPos) {
  bool filtering = filtered_ && (filter_ || onFilterRecord_);
  bool linked = master_ && master_->DataSet() != nullptr;
  if (viewIsNatural_) {
    // The record is where it was (an edit) or where it was inserted.
    pos_ = fallbackPos < natural_.size() && natural_[fallbackPos] == id
               ? fallbackPos
               : static_cast<std::size_t>(std::find(natural_.begin(), natural_.end(), id) - natural_.begin());
  } else if (!filtering && !linked) {
    auto it = std::find(view_.begin(), view_.end(), id);
    if (it != view_.end()) view_.erase(it);
    auto at = std::upper_bound(view_.begin(), view_.end(), id,
                               [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); });
    pos_ = static_cast<std::size_t>(at - view_.begin());
    view_.insert(at, id);
  } else {
    pos_ = fallbackPos;
    RebuildView(false);
    auto it = std::find(view_.begin(), view_.end(), id);
    if (it != view_.end()) pos_ = static_cast<std::size_t>(it - view_.begin());
    SetCursor(pos_);
  }
  SetCursor(pos_);
  bof_ = eof_ = View().empty();
}

void TClientDataSet::AddIndex(const std::string& name, const std::string& fields, TIndexOptions options,
                              const std::string& descFields, const std::string& caseInsFields,
                              int groupingLevel) {
  indexDefs_.Add(TIndexDef{name, fields, options, descFields, caseInsFields, groupingLevel});
}

void TClientDataSet::DeleteIndex(std::string_view name) {
  int i = indexDefs_.IndexOf(name);
  if (i < 0) throw Error("Index '" + std::string(name) + "' not found");
  if (SameText(indexName_, name)) {
    indexName_.clear();
    key_.clear();
    if (Active()) {
      RebuildView(true);
      Notify(Event::DataSetChanged);
    }
  }
  indexDefs_.Delete(static_cast<std::size_t>(i));
}

void TClientDataSet::SetIndexName(std::string_view name) {
  ChooseIndex(Trim(name), "");
}

void TClientDataSet::SetIndexFieldNames(std::string_view names) {
  ChooseIndex("", std::string(names));
}

void TClientDataSet::ChooseIndex(std::string name, std::string fieldNames) {
  std::string oldName = indexName_, oldFields = indexFieldNames_;
  if (Active()) CheckBrowseMode();
  indexName_ = std::move(name);
  indexFieldNames_ = std::move(fieldNames);
  if (!Active()) return;
  try {
    ResolveIndex();
  } catch (...) {
    indexName_ = oldName;
    indexFieldNames_ = oldFields;
    throw;
  }
  RebuildView(true);
  Notify(Event::DataSetChanged);
}

void TClientDataSet::SetFilter(std::string_view text) {
  if (Active()) {
    CheckBrowseMode();
    std::unique_ptr<FilterExpr> f;
    if (!Trim(text).empty()) f = std::make_unique<FilterExpr>(text, *table_);  // raises before any change
    filterText_ = std::string(text);
    filter_ = std::move(f);
    if (filtered_) {
      RebuildView(false);
      SetCursor(0);
      Notify(Event::DataSetChanged);
    }
  } else {
    filterText_ = std::string(text);
  }
}

void TClientDataSet::SetFiltered(bool on) {
  if (on == filtered_) return;
  if (Active()) CheckBrowseMode();
  filtered_ = on;
  if (Active()) {
    RebuildView(false);
    SetCursor(0);
    Notify(Event::DataSetChanged);
  }
}

void TClientDataSet::SetFilterOptions(TFilterOptions o) {
  filterOptions_ = o;
  if (Active() && filtered_) Refresh();
}

void TClientDataSet::SetOnFilterRecord(TFilterRecordEvent fn) {
  onFilterRecord_ = std::move(fn);
  if (Active() && filtered_) Refresh();
}

void TClientDataSet::Refresh() {
  CheckBrowseMode();
  RebuildView(true);
  Notify(Event::DataSetChanged);
}

void TClientDataSet::SetMasterSource(TClientDataSet* master, std::string_view masterFields,
                                     std::string_view detailFields) {
  if (master == this) throw Error("A data set cannot be its own master");
  if (master == nullptr) {
    master_.reset();
    masterKey_.reset();
    if (Active()) Refresh();
    return;
  }
  auto mf = SplitNames(masterFields), df = SplitNames(detailFields);
  if (mf.empty() || mf.size() != df.size()) throw Error("Master fields and detail fields do not pair up");
  if (Active()) KeyColumns(detailFields);  // raises for an unknown detail field
  if (master->Active()) {
    for (const auto& n : mf) master->FieldByName(n);
  }
  auto link = std::make_unique<MasterLink>(*this);
  link->masterFields = std::move(mf);
  link->detailFields = std::move(df);
  link->SetDataSet(master);
  master_ = std::move(link);
  if (Active()) {
    CheckBrowseMode();
    RebuildView(false);
    Notify(Event::DataSetChanged);
  }
}

TClientDataSet* TClientDataSet::MasterSource() const {
  return master_ ? master_->DataSet() : nullptr;
}

void TClientDataSet::MasterChanged() {
  if (!Active()) return;
  CheckBrowseMode();
  RebuildView(false);
  pos_ = 0;
  bof_ = true;
  eof_ = View().empty();
  Notify(Event::DataSetChanged);
}

void TClientDataSet::ApplyMasterValues() {
  if (!master_ || master_->DataSet() == nullptr) return;
  TClientDataSet* m = master_->DataSet();
  if (!m->Active() || m->CurrentRow() == kNone) return;
  for (std::size_t i = 0; i < master_->masterFields.size(); ++i) {
    TField* d = FindField(master_->detailFields[i]);
    if (d != nullptr) table_->Col(d->Index()).Set(editRow_, m->FieldByName(master_->masterFields[i]).Value());
  }
}

// ---- Searching ----

long TClientDataSet::FindMatch(const std::vector<std::size_t>& cols, const std::vector<Variant>& values,
                               TLocateOptions o) const {
  if (values.size() != cols.size()) throw Error("Locate needs one value per field");
  std::vector<TFieldDef> defs;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    TFieldDef d = table_->Defs()[cols[i]];
    d.Name = "K" + IntToStr(static_cast<std::int64_t>(i));
    defs.push_back(d);
  }
  ColumnTable key(defs);
  key.AppendNullRow();
  for (std::size_t i = 0; i < cols.size(); ++i)
    key.Col(i).Set(0, values[i]);  // raises when a value does not fit
  bool ci = (o & loCaseInsensitive) != 0, partial = (o & loPartialKey) != 0;
  const auto& v = View();
  for (std::size_t p = 0; p < v.size(); ++p) {
    std::uint32_t row = RowOf(v[p]);
    bool all = true;
    for (std::size_t i = 0; i < cols.size() && all; ++i) {
      all = ValuesMatch(key.Col(i), 0, table_->Col(cols[i]), row, ci, partial);
    }
    if (all) return static_cast<long>(p);
  }
  return -1;
}

bool TClientDataSet::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  long p = FindMatch(KeyColumns(keyFields), ValueList(keyValues), options);
  if (p < 0) return false;
  DoBeforeScroll();
  pos_ = static_cast<std::size_t>(p);
  bof_ = eof_ = false;
  Notify(Event::Scrolled);
  DoAfterScroll();
  return true;
}

Variant TClientDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                               std::string_view resultFields) {
  CheckActive();  // a lookup neither moves nor ends a pending edit
  auto result = KeyColumns(resultFields);
  long p = FindMatch(KeyColumns(keyFields), ValueList(keyValues), 0);
  if (p < 0) return Variant::Null();
  std::uint32_t row = RowOf(View()[static_cast<std::size_t>(p)]);
  if (result.size() == 1) return table_->Col(result[0]).Get(row);
  std::vector<Variant> out;
  for (std::size_t c : result) out.push_back(table_->Col(c).Get(row));
  return Variant::Array(std::move(out));
}

// ---- Change log ----

TUpdateStatus TClientDataSet::UpdateStatus() const {
  if (state_ == TDataSetState::dsInsert) return TUpdateStatus::usInserted;
  std::uint32_t id = CurrentId();
  if (id == kNone) return TUpdateStatus::usUnmodified;
  auto it = changes_.find(id);
  return it == changes_.end() ? TUpdateStatus::usUnmodified : it->second.status;
}

Variant TClientDataSet::GetDelta() const {
  CheckActive();
  std::vector<TFieldDef> defs;
  for (const auto& d : table_->Defs()) {
    if (d.Kind == TFieldKind::fkData) defs.push_back(d);
  }
  DeltaWriter w(defs);
  std::unordered_set<std::uint32_t> seen;
  for (const LogEntry& e : log_) {
    if (!seen.insert(e.id).second) continue;
    auto it = changes_.find(e.id);
    if (it == changes_.end()) continue;  // undone or reverted
    const Change& c = it->second;
    switch (c.status) {
      case TUpdateStatus::usModified:
        w.AddChange(TUpdateKind::ukModify, table_.get(), c.orig, table_.get(), RowOf(e.id));
        break;
      case TUpdateStatus::usInserted:
        w.AddChange(TUpdateKind::ukInsert, nullptr, 0, table_.get(), RowOf(e.id));
        break;
      case TUpdateStatus::usDeleted:
        if (c.orig != kNone) w.AddChange(TUpdateKind::ukDelete, table_.get(), c.orig, nullptr, 0);
        break;
      case TUpdateStatus::usUnmodified:
        break;
    }
  }
  return w.FinishVariant();
}

void TClientDataSet::Compact() {
  if (!log_.empty() || state_ != TDataSetState::dsBrowse) return;
  if (table_->RowCount() <= natural_.size() * 2 + 64) return;
  auto t = std::make_unique<ColumnTable>(table_->Defs());
  t->Reserve(natural_.size());
  std::vector<std::uint32_t> rows(idCount_, kNone);
  for (std::uint32_t id : natural_) rows[id] = t->AppendCopy(*table_, RowOf(id));
  table_ = std::move(t);
  rowOf_ = std::move(rows);
  identityRows_ = false;
}

void TClientDataSet::MergeChangeLog() {
  CheckBrowseMode();
  for (const auto& [id, c] : changes_) {
    if (c.status == TUpdateStatus::usDeleted) SetRowOf(id, kNone);
  }
  changes_.clear();
  log_.clear();
  Compact();
  Notify(Event::DataSetChanged);
}

void TClientDataSet::UndoEntry(const LogEntry& e) {
  if (e.kind == TUpdateKind::ukInsert) {
    auto it = std::find(natural_.begin(), natural_.end(), e.id);
    if (it != natural_.end()) natural_.erase(it);
    SetRowOf(e.id, kNone);
    changes_.erase(e.id);
    return;
  }
  SetRowOf(e.id, e.prevRow);
  if (e.hadChange) {
    changes_[e.id] = e.prevChange;
  } else {
    changes_.erase(e.id);
  }
  if (e.kind == TUpdateKind::ukDelete) {
    std::size_t at = std::min<std::size_t>(e.naturalPos, natural_.size());
    natural_.insert(natural_.begin() + static_cast<std::ptrdiff_t>(at), e.id);
  }
}

bool TClientDataSet::UndoLastChange(bool followChange) {
  CheckActive();
  InternalCancel();
  if (log_.empty()) return false;
  LogEntry e = log_.back();
  log_.pop_back();
  UndoEntry(e);
  RebuildView(true);
  if (followChange && e.kind != TUpdateKind::ukInsert) {
    const auto& v = View();
    auto it = std::find(v.begin(), v.end(), e.id);
    if (it != v.end()) pos_ = static_cast<std::size_t>(it - v.begin());
  }
  Notify(Event::DataSetChanged);
  return true;
}

void TClientDataSet::RevertRecord() {
  CheckActive();
  InternalCancel();
  std::uint32_t id = CurrentId();
  if (id == kNone) return;
  for (std::size_t i = log_.size(); i-- > 0;) {
    if (log_[i].id != id) continue;
    UndoEntry(log_[i]);
    log_.erase(log_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  RebuildView(true);
  Notify(Event::DataSetChanged);
}

void TClientDataSet::CancelUpdates() {
  CheckActive();
  InternalCancel();
  while (!log_.empty()) {
    UndoEntry(log_.back());
    log_.pop_back();
  }
  changes_.clear();
  Compact();
  RebuildView(true);
  Notify(Event::DataSetChanged);
}

// ---- Data packets ----

Variant TClientDataSet::GetData() const {
  CheckActive();
  std::vector<std::uint32_t> cols;
  for (std::size_t i = 0; i < table_->ColumnCount(); ++i) {
    if (table_->Defs()[i].Kind == TFieldKind::fkData) cols.push_back(static_cast<std::uint32_t>(i));
  }
  std::vector<std::uint32_t> rows;
  rows.reserve(natural_.size());
  for (std::uint32_t id : natural_) rows.push_back(RowOf(id));
  std::vector<std::uint8_t> out;
  packet::ByteWriter w(out);
  packet::WriteHeader(w, packet::kKindData, table_->Defs(), cols);
  w.VarUInt(rows.size());
  packet::EncodeColumns(w, *table_, rows, cols);
  return Variant::Bytes(std::move(out), 0);
}

void TClientDataSet::SetData(const Variant& packet) {
  PacketReader reader(packet);  // the whole packet is checked before anything changes
  auto table = reader.TakeTable();
  for (const auto& d : fieldDefs_) {
    if (d.Kind != TFieldKind::fkData && table->IndexOf(d.Name) < 0) table->AddNullColumn(d);
  }
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
  fieldDefs_ = table->Defs();
  ResetRecords(std::move(table));
  BuildFields();
  state_ = TDataSetState::dsBrowse;
  // An index or filter that does not fit the loaded fields is dropped; the data stays loaded and the error is
  // raised once the data set is consistent again.
  std::string problem = RefitIndexAndFilter();
  try {
    RebuildView(false);
  } catch (const Error& e) {
    master_.reset();
    masterKey_.reset();
    RebuildView(false);
    if (problem.empty()) problem = e.what();
  }
  bof_ = true;
  eof_ = View().empty();
  Notify(Event::StateChanged);
  Notify(Event::DataSetChanged);
  DoAfterOpen();
  DoAfterScroll();
  if (!problem.empty()) throw Error(problem);
}

std::size_t TClientDataSet::MemoryBytes() const {
  std::size_t n = sizeof(*this);
  if (table_) n += table_->MemoryBytes();
  n += (rowOf_.capacity() + natural_.capacity() + view_.capacity()) * sizeof(std::uint32_t);
  n += log_.capacity() * sizeof(LogEntry);
  n += changes_.size() * (sizeof(std::uint32_t) + sizeof(Change) + 2 * sizeof(void*));
  n += fields_.size() * sizeof(TField);
  return n;
}

}  // namespace sw
