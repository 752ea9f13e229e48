#pragma once
// The in-memory client data set: fields over column storage, a cursor over the visible records, browse, edit
// and insert states with virtual before/after hooks, a change log with delta packets, indexes, filters,
// locate, bookmarks, observers (data links) and master/detail following.
//
// Records are held column by column (ColumnTable). A record id names a record for its whole life (bookmarks
// are record ids, so they survive re-sorting and filtering); the id maps to the storage row of its current
// values. Editing appends a copy of the record's row and changes the copy; posting points the record at it
// and keeps the previous row as the original for the change log, cancelling drops it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sw/core/Variant.h"
#include "sw/dataset/ColumnTable.h"
#include "sw/dataset/FieldTypes.h"
#include "sw/dataset/FilterExpr.h"
#include "sw/dataset/Packet.h"

namespace sw {

class TClientDataSet;
class TField;

enum class TDataSetState : std::uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert };
enum class TUpdateStatus : std::uint8_t { usUnmodified, usModified, usInserted, usDeleted };

using TLocateOptions = unsigned;
constexpr TLocateOptions loCaseInsensitive = 1;
constexpr TLocateOptions loPartialKey = 2;

using TIndexOptions = unsigned;
constexpr TIndexOptions ixPrimary = 1;
constexpr TIndexOptions ixUnique = 2;
constexpr TIndexOptions ixDescending = 4;
constexpr TIndexOptions ixCaseInsensitive = 8;

using TFilterOptions = unsigned;
constexpr TFilterOptions foCaseInsensitive = 1;

// An index: ";"-separated field names; with ixDescending every field sorts descending, else those named in
// DescFields; with ixCaseInsensitive every text field ignores letter case, else those named in CaseInsFields.
struct TIndexDef {
  std::string Name;
  std::string Fields;
  TIndexOptions Options = 0;
  std::string DescFields;
  std::string CaseInsFields;
  int GroupingLevel = 0;
};

class TIndexDefs {
 public:
  // Adds a definition; a name already present (without regard to case) raises sw::Error.
  void Add(TIndexDef def);
  const TIndexDef* Find(std::string_view name) const;  // nullptr when absent
  int IndexOf(std::string_view name) const;            // -1 when absent
  void Delete(std::size_t index);
  void Clear() { defs_.clear(); }
  std::size_t Count() const { return defs_.size(); }
  const TIndexDef& operator[](std::size_t i) const { return defs_.at(i); }

 private:
  std::vector<TIndexDef> defs_;
};

// A record of the data set, valid while the record exists, whatever the order and the filter.
struct TBookmark {
  std::uint32_t id = UINT32_MAX;
  bool Empty() const { return id == UINT32_MAX; }
  friend bool operator==(TBookmark, TBookmark) = default;
};

// Observer of a data set. Derive and override what you need; any number may watch one data set. Notifications
// are held back while the data set's controls are disabled.
class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();

  TClientDataSet* DataSet() const { return dataSet_; }
  // Starts watching `ds` (nullptr: stop watching).
  void SetDataSet(TClientDataSet* ds);

 protected:
  friend class TClientDataSet;
  virtual void DataSetChanged() {}              // content, order or filter changed; opened or closed
  virtual void DataSetScrolled() {}             // the current record changed
  virtual void RecordChanged(TField* field) {}  // a value of the current record changed
  virtual void StateChanged() {}                // browse/edit/insert/inactive

 private:
  TClientDataSet* dataSet_ = nullptr;
};

// A data link with assignable handlers, as the forms use it: OnDataChange for content changes, scrolls and
// field changes (the field, or nullptr), OnStateChange for state changes.
class TDataSource : public TDataLink {
 public:
  explicit TDataSource(TClientDataSet* ds = nullptr);
  std::function<void(TDataSource& sender, TField* field)> OnDataChange;
  std::function<void(TDataSource& sender)> OnStateChange;

 protected:
  void DataSetChanged() override;
  void DataSetScrolled() override;
  void RecordChanged(TField* field) override;
  void StateChanged() override;
};

using TFieldGetTextEvent = std::function<void(TField& sender, std::string& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField& sender, const std::string& text)>;
using TFieldNotifyEvent = std::function<void(TField& sender)>;

// One field of a data set; owned by the data set, valid until its fields are rebuilt (open, load, close).
class TField {
 public:
  TField(TClientDataSet& owner, TFieldDef def, std::size_t column);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return def_.Name; }
  TFieldType DataType() const { return def_.DataType; }
  int Size() const { return def_.Size; }
  TFieldKind FieldKind() const { return def_.Kind; }
  std::size_t Index() const { return column_; }
  TClientDataSet& DataSet() const { return *owner_; }
  bool IsBlob() const { return IsBlobFieldType(def_.DataType); }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool Required() const { return required_; }
  void SetRequired(bool v) { required_ = v; }

  std::string DisplayLabel;  // empty: the field name
  bool Visible = true;
  void* Tag = nullptr;  // free for the owner of the data set (the entity keeps its property description here)
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;
  TFieldNotifyEvent OnChange;

  // Value of the current record (null when there is none).
  bool IsNull() const;
  Variant Value() const;
  void SetValue(const Variant& v);
  void Clear() { SetValue(Variant::Null()); }
  // Value the record had when it was loaded or last merged; null for an inserted record.
  Variant OldValue() const;

  // Conversions; a null value reads as 0, "" or false.
  std::string AsString() const;
  void SetAsString(std::string_view s);
  std::int64_t AsLargeInt() const;
  std::int32_t AsInteger() const;
  double AsFloat() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  void SetAsInteger(std::int64_t v) { SetValue(Variant(v)); }
  void SetAsFloat(double v) { SetValue(Variant(v)); }
  void SetAsCurrency(Currency v) { SetValue(Variant(v)); }
  void SetAsDateTime(TDateTime v) { SetValue(Variant::Date(v)); }
  void SetAsBoolean(bool v) { SetValue(Variant(v)); }

  // Edit text and display text: through OnGetText when assigned (starting from ""), else AsString.
  std::string Text() const;
  std::string DisplayText() const;
  // Input text: through OnSetText when assigned, else SetAsString.
  void SetText(std::string_view text);

 private:
  std::string GetText(bool display) const;

  TClientDataSet* owner_;
  TFieldDef def_;
  std::size_t column_;
  bool readOnly_;
  bool required_;
};

using TDataSetNotifyEvent = std::function<void(TClientDataSet& sender)>;
using TFilterRecordEvent = std::function<bool(TClientDataSet& sender)>;

class TClientDataSet {
 public:
  TClientDataSet();
  TClientDataSet(const TClientDataSet&) = delete;
  TClientDataSet& operator=(const TClientDataSet&) = delete;
  virtual ~TClientDataSet();

  // ---- Definitions, opening and closing ----
  std::vector<TFieldDef>& FieldDefs() { return fieldDefs_; }
  void AddFieldDef(std::string name, TFieldType type, int size = 0, bool required = false);
  // Opens an empty data set with the fields of FieldDefs.
  void CreateDataSet();
  // A data set opens with CreateDataSet or SetData; Open on a closed one raises, since Close dropped its
  // data.
  void Open();
  // Closes and drops the data and the change log.
  void Close();
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  // Removes every record and clears the change log.
  void EmptyDataSet();
  TDataSetState State() const { return state_; }

  // ---- Fields ----
  std::size_t FieldCount() const { return fields_.size(); }
  TField& Fields(std::size_t i) const;
  TField* FindField(std::string_view name) const;    // without regard to case; nullptr when absent
  TField& FieldByName(std::string_view name) const;  // raises sw::Error when absent
  Variant FieldValue(std::string_view name) const { return FieldByName(name).Value(); }

  // ---- Navigation over the visible records ----
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);  // records actually moved, negative backwards
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  int RecNo() const;  // 1-based; 0 when empty or inactive
  void SetRecNo(int recNo);
  int RecordCount() const;
  bool IsEmpty() const { return RecordCount() == 0; }
  // Field reads (values, texts, get-text handlers) come from the visible record `recNo` (1-based) until the
  // matching EndDisplayRecord, without moving the cursor, running hooks or telling observers: grids paint
  // their rows this way. The record being edited shows its pending values. Calls nest. Raises sw::Error
  // outside 1..RecordCount.
  void BeginDisplayRecord(int recNo) const;
  void EndDisplayRecord() const;

  // ---- Editing ----
  // Virtual so that a derived data set can wrap them (its override calls the base to do the work); moves that
  // leave a pending edit call Post (or Cancel when nothing was changed) through the override too.
  virtual void Append();
  virtual void Insert();
  virtual void Edit();  // on an empty data set: Insert
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();
  bool Modified() const { return modified_; }
  // Marks the pending edit as changed or not (a derived data set returning a record to editing after a failed
  // check keeps its modified mark this way).
  void SetModified(bool modified) { modified_ = modified; }
  // Appends a record with the values in field order (fewer values leave the rest null) and posts it.
  void AppendRecord(const std::vector<Variant>& values);

  // Event handlers that screens assign; the virtual Do... hooks below call them, so a derived class that
  // overrides a hook and calls the base keeps them working.
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel,
      AfterCancel, BeforeDelete, AfterDelete, BeforeScroll, AfterScroll, OnNewRecord, AfterOpen, BeforeClose;

  // ---- Bookmarks ----
  TBookmark GetBookmark() const;   // empty when there is no current record
  void GotoBookmark(TBookmark b);  // raises sw::Error when the record is gone or not visible
  bool BookmarkValid(TBookmark b) const;

  // ---- Observers ----
  // Holds notifications back until the matching EnableControls (calls nest); then observers hear of the
  // change once. Master/detail links are observers too, so a detail stops following while its master is
  // disabled.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // ---- Change log ----
  bool LogChanges = true;
  int ChangeCount() const { return static_cast<int>(log_.size()); }
  // The change log as a delta packet (byte-array variant): one entry per changed record, in the order of the
  // first change of each, with its kind, original values and current values.
  Variant GetDelta() const;
  // The changes become the data set's base: the change log empties.
  void MergeChangeLog();
  // Undoes every logged change (cancels a pending edit first).
  void CancelUpdates();
  // Undoes the last logged change; with `followChange` the cursor moves to the record it restored.
  bool UndoLastChange(bool followChange);
  // Undoes every logged change of the current record.
  void RevertRecord();
  TUpdateStatus UpdateStatus() const;

  // ---- Data packets ----
  // The current values of every record (unsaved changes included, pending edit excluded) as a data packet.
  Variant GetData() const;
  // Loads a data packet: fields from its definitions (calculated and lookup definitions of FieldDefs are kept
  // after them), records from its rows; the change log empties. A malformed packet raises sw::Error and
  // leaves the data set as it was.
  void SetData(const Variant& packet);
  // Bytes held by the records, their order and the change log.
  std::size_t MemoryBytes() const;

  // ---- Indexes ----
  TIndexDefs& IndexDefs() { return indexDefs_; }
  void UpdateIndexDefs() {}
  void AddIndex(const std::string& name, const std::string& fields, TIndexOptions options = 0,
                const std::string& descFields = "", const std::string& caseInsFields = "",
                int groupingLevel = 0);
  void DeleteIndex(std::string_view name);
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(std::string_view name);  // "" for the default order
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(std::string_view names);  // ";" list, ascending; "" for the default order

  // ---- Filters ----
  const std::string& Filter() const { return filterText_; }
  void SetFilter(std::string_view text);  // raises sw::Error for a malformed text (when open)
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool on);
  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(TFilterOptions o);
  // Record filter: called with the candidate as the current record; true keeps it. Applies while Filtered.
  void SetOnFilterRecord(TFilterRecordEvent fn);
  // Re-applies order, filter and master link to the records (after changes that the data set cannot see).
  void Refresh();

  // ---- Searching ----
  // Moves to the first visible record whose ";"-listed fields hold the values (one value, or a variant array
  // for several fields). Returns false and stays when none does. Values that do not fit a field raise
  // sw::Error.
  bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options = 0);
  // The value(s) of `resultFields` (a variant array for several) of the first visible record whose key fields
  // equal the values exactly, without moving or ending a pending edit (stored values are compared); null when
  // none matches.
  Variant Lookup(std::string_view keyFields, const Variant& keyValues, std::string_view resultFields);

  // ---- Master/detail ----
  // This data set shows only the records whose `detailFields` equal the current values of `masterFields` in
  // `master`, follows the master's moves, and gives inserted records those values. nullptr unlinks.
  void SetMasterSource(TClientDataSet* master, std::string_view masterFields, std::string_view detailFields);
  TClientDataSet* MasterSource() const;

 protected:
  // Hooks in the order the operations run them (see Insert, Edit, Post, Cancel, Delete and the moves).
  virtual void DoBeforeInsert();
  virtual void DoAfterInsert();
  virtual void DoBeforeEdit();
  virtual void DoAfterEdit();
  virtual void DoBeforePost();
  virtual void DoAfterPost();
  virtual void DoBeforeCancel();
  virtual void DoAfterCancel();
  virtual void DoBeforeDelete();
  virtual void DoAfterDelete();
  virtual void DoBeforeScroll();
  virtual void DoAfterScroll();
  virtual void DoOnNewRecord();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();

 private:
  friend class TField;
  friend class TDataLink;
  class MasterLink;
  struct KeyPart {
    std::size_t column;
    bool descending;
    bool caseInsensitive;
  };
  struct Change {
    std::uint32_t orig;  // storage row of the original values; UINT32_MAX for an inserted record
    TUpdateStatus status;
  };
  struct LogEntry {
    std::uint32_t id;
    TUpdateKind kind;
    std::uint32_t prevRow;
    bool hadChange;
    Change prevChange;
    std::uint32_t naturalPos;
  };
  enum class Event { DataSetChanged, Scrolled, RecordChanged, StateChanged };

  // Row of the current record's values (the edit copy while editing); UINT32_MAX when none.
  std::uint32_t CurrentRow() const;
  std::uint32_t CurrentId() const;
  std::uint32_t RowOf(std::uint32_t id) const { return identityRows_ ? id : rowOf_[id]; }
  void SetRowOf(std::uint32_t id, std::uint32_t row);
  void MaterializeRows();
  std::uint32_t NewId(std::uint32_t row);  // a new record id whose values are in `row`
  const std::vector<std::uint32_t>& View() const { return viewIsNatural_ ? natural_ : view_; }
  void CheckActive() const;
  void CheckBrowseMode();
  void SetState(TDataSetState s);
  void Notify(Event e, TField* field = nullptr);
  void BuildFields();
  void ResetRecords(std::unique_ptr<ColumnTable> table);
  void RebuildView(bool keepCurrent);
  void SortView();
  bool Visible(std::uint32_t id);
  bool Less(std::uint32_t a, std::uint32_t b) const;
  void ResolveIndex();
  // Chooses the order by index name or by field names (the other one emptied), resolves it and shows the rows
  // in it; a choice that cannot be resolved raises and leaves the previous one in place.
  void ChooseIndex(std::string name, std::string fieldNames);
  void CompileFilter();
  // Re-applies the current index and filter to new fields; one that does not fit is dropped and its error
  // text returned (empty when both fit), so the caller can finish loading before raising it.
  std::string RefitIndexAndFilter();
  void SetCursor(std::size_t pos);
  void PositionAfterChange(std::uint32_t id, std::size_t fallbackPos);
  void UndoEntry(const LogEntry& e);
  void Compact();
  void InternalCancel();
  void StartInsert(bool append);
  std::vector<std::size_t> KeyColumns(std::string_view names) const;
  // Index of the first visible record matching, or -1.
  long FindMatch(const std::vector<std::size_t>& cols, const std::vector<Variant>& values,
                 TLocateOptions o) const;
  void MasterChanged();
  void ApplyMasterValues();

  std::vector<TFieldDef> fieldDefs_;
  std::vector<std::unique_ptr<TField>> fields_;
  std::unique_ptr<ColumnTable> table_;
  std::vector<std::uint32_t> rowOf_;  // record id -> storage row (UINT32_MAX once gone); empty while identity
  bool identityRows_ = true;          // every record id is its own storage row (no change yet)
  std::uint32_t idCount_ = 0;         // record ids handed out
  std::unordered_map<std::uint32_t, Change> changes_;
  std::vector<std::uint32_t> natural_;  // live record ids in physical order
  std::vector<std::uint32_t> view_;     // visible ids in index order (when not the natural order)
  bool viewIsNatural_ = true;
  std::vector<LogEntry> log_;

  TDataSetState state_ = TDataSetState::dsInactive;
  std::size_t pos_ = 0;
  bool bof_ = true, eof_ = true;
  std::uint32_t editRow_ = UINT32_MAX;
  std::uint32_t editId_ = UINT32_MAX;
  std::size_t insertAt_ = 0;  // position in natural_ of a pending insert
  bool modified_ = false;
  std::uint32_t filterRow_ = UINT32_MAX;            // candidate row while the record filter runs
  mutable std::vector<std::uint32_t> displayRows_;  // rows read by BeginDisplayRecord, innermost last

  int disableCount_ = 0;
  bool heldChange_ = false;
  TDataSetState stateAtDisable_ = TDataSetState::dsInactive;
  std::vector<TDataLink*> links_;

  TIndexDefs indexDefs_;
  std::string indexName_, indexFieldNames_;
  std::vector<KeyPart> key_;

  std::string filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_ = 0;
  std::unique_ptr<FilterExpr> filter_;
  TFilterRecordEvent onFilterRecord_;

  std::unique_ptr<MasterLink> master_;
  std::unique_ptr<ColumnTable> masterKey_;  // the master's current link values in the detail fields' kinds
  std::vector<std::size_t> masterCols_;     // detail columns of the link
  bool masterNone_ = false;                 // the master has no current record: no detail record is visible
};

}  // namespace sw
