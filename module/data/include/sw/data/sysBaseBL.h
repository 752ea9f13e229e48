#pragma once
// The entity data set: a client data set bound to one class of the class dictionary. It fetches its class
// description from the application server, reads and searches rows by sending that description with a
// condition, turns conditions written with captions and display values into SQL, binds every loaded field to
// its property description and masks the columns the user may not see.
//
// Every server operation catches its own failure, writes a system-log entry ("TSysClassEntity.<method>"),
// shows a fixed message through the module's message sink and returns false.
//
//   sw::TSysClassEntity users(2002);
//   users.Init(sw::lt_PRC);
//   if (users.SearchWhere("[用户编码]='001'", "", 1, 0)) ... users.FieldByName("UserName").Text() ...
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/DateTime.h"
#include "sw/core/Variant.h"
#include "sw/data/USysDict.h"
#include "sw/dataset/ClientDataSet.h"

namespace sw {

// The SQL literal of a value of a data type: types 1-10, 21-24 and 26 give the trimmed value between single
// quotes, a quote inside it doubled; any other type gives the value as it is, or "0" when it is empty. The
// one place where the entity layer writes values into SQL.
std::string Literal(int dataType, std::string_view text);

// Replaces the session placeholders "SYSTEM.ORGCODE" ... "SYSTEM.ORGTYPE" (any letter case, every occurrence)
// by the session's current values: "SYSTEM.USERID" by the bare user number, every other one by a quoted
// literal (quotes inside the value doubled). Only the values that occur are read from the session.
std::string SubstituteSessionValues(std::string_view text);

// The fixed messages of the entity layer.
inline constexpr std::string_view kEntityDataError = "数据有错误！\r\n请查询系统或业务日志。";
inline constexpr std::string_view kLogQueryInitError =
    "日志查询数据初始化有错误,可能是应用服务器或网络有问题！";
inline constexpr std::string_view kLogQuerySearchError =
    "日志查询数据初始化有错误,可能是应用服务器、网络或日志查询条件有问题！";
inline constexpr std::string_view kSaveError = "数据保存错误！";
inline constexpr std::string_view kSaveErrorShown = "数据保存错误！\r\n请查询系统或业务日志。";
// The class of the log query screen, which shows messages of its own and writes no log entry.
inline constexpr std::int32_t kLogQueryClassId = 1017;
// At most this many characters of the tSysText code list are sent.
inline constexpr std::size_t kMaxTextCodeList = 4096;

class TSysClassEntity;

using TEntityNotifyEvent = std::function<void(TSysClassEntity& sender)>;
using TEntityCheckValueEvent =
    std::function<void(TSysClassEntity& sender, TSysPropDesc& prop, const std::string& text,
                       const Variant& oldValue, bool& accept)>;
using TEntityValueChangingEvent = std::function<void(TSysClassEntity& sender, TSysPropDesc& prop,
                                                     const std::string& text, const Variant& value)>;
using TEntityValueChangedEvent = std::function<void(TSysClassEntity& sender, TSysPropDesc& prop)>;
using TEntityLookupDoneEvent =
    std::function<void(TSysClassEntity& sender, TClientDataSet& lookup, TSysPropDesc& prop)>;

class TSysClassEntity : public TClientDataSet {
 public:
  // An entity of class `classId`, not yet initialised.
  explicit TSysClassEntity(std::int32_t classId);
  ~TSysClassEntity() override;

  TSysClassDesc& ClassDesc() { return *classDesc_; }
  const TSysClassDesc& ClassDesc() const { return *classDesc_; }
  std::int32_t ClassID() const { return classDesc_->ClassID(); }

  bool AutoSave = true;
  bool AutoOrderEnabled = false;
  int LoadDepth = 0;
  bool CheckOnPost = true;
  bool Initialized = false;
  int PostDepth = 0, CancelDepth = 0, DeleteDepth = 0;
  bool ConditionsChanged = false;
  bool PostFailed = false;
  bool LocalOnly = false;
  bool RawMode = false;
  std::string FieldList;
  std::string FixedWhere;
  std::string TranslatedWhere;
  std::string LastField;
  std::string SaveText;
  std::string HeadText;
  std::string ErrorText;
  TDateTime SearchBegin = 0;
  std::array<double, 7> ServerTimes{};
  double ReplyTime = 0;
  double LoadTime = 0;
  std::int32_t RecordTotal = -1;
  std::int32_t PacketSize = 0;

  // The duplicate check at post: 0 none, 1 a duplicate is an error, 2 the user is asked whether to correct
  // it. UniqueFields together must be unique; UniqueMessage replaces the generated message when set.
  int UniqueCheck = 0;
  std::vector<std::string> UniqueFields;
  std::string UniqueMessage;
  // A copy of every record taken when editing or inserting begins, and the key text of the edited record.
  std::unique_ptr<TClientDataSet> Snapshot;
  std::string EditKeyText;

  TEntityNotifyEvent OnBeforeInsertPost, OnBeforeEditPost, OnDeleting;
  TEntityCheckValueEvent OnCheckValue;
  TEntityValueChangingEvent OnValueChanging;
  TEntityValueChangedEvent OnValueChanged;
  TEntityLookupDoneEvent OnLookupDone;

  // ---- Virtual operations, in the order later entity kinds rely on ----
  // Called after every change of data or position this layer makes.
  virtual void NotifyChange();
  // A search: `fieldList` or "@TIME@" (timing mode), the condition (captions allowed), the text passed
  // through to the server, the query kind and the search flag. Loads the reply; false on failure.
  virtual bool Search(const std::string& fieldList, const std::string& condition,
                      const std::string& passThrough, int queryKind, int searchFlag);
  // After a property's value was set: runs the property's expression text, then raises OnValueChanged.
  virtual void PropValueSet(TSysPropDesc& prop);
  virtual void DoPropChanged(TSysPropDesc& prop);
  // The text with the current values of the bound fields put in for "<TableName>.<FieldName>" when
  // `useValues`; a blank literal of any bound property makes the whole result "". A blank text gives "".
  virtual std::string ExpandCondition(const std::string& text, bool useValues);
  // Raises OnCheckValue; true unless a handler refuses.
  virtual bool CheckPropValue(TSysPropDesc& prop, const std::string& text, const Variant& oldValue);
  virtual void DoPropChanging(TSysPropDesc& prop, const std::string& text, const Variant& value);
  virtual void DoBeforeInsertPost();
  virtual void DoBeforeEditPost();
  virtual void DoDeleting();
  virtual void DoLookupDone(TClientDataSet& lookup, TSysPropDesc& prop);
  // A property by reference: "[caption]", "[qualifier.caption]", "field" or "qualifier.field"; the
  // qualifier must be the class caption or the table name. Null when none matches.
  virtual TSysPropDesc* FindProp(std::string_view reference);
  // Loads the class description (once, and again for another non-zero language). Returns Initialized.
  virtual bool Init(int language);
  // Init, then a FROM text over one table or the union of several.
  virtual bool InitTables(const std::vector<std::string>& tables, int language);
  // Posting: server numbers, default values and order marks, then the data set's post with the checks of
  // every property and the duplicate check; a failed check keeps the record in editing, shows ErrorText and
  // raises sw::Abort. With AutoSave the change log is saved at once.
  void Post() override;
  // Cancels the pending edit and, with AutoSave, every unsaved change.
  void Cancel() override;
  // Keeps the AutoOrder numbers of the records consecutive after a post (`afterPost`) or a delete.
  virtual void Renumber(bool afterPost);
  // The key text of the current record of `dataSet` (the entity or its snapshot): the key properties'
  // trimmed values joined by ";", at most 255 characters.
  std::string KeyText(const TClientDataSet& dataSet) const;
  // The unique text of the current record of `dataSet`: ";" and the value of each UniqueFields field it has.
  std::string UniqueText(const TClientDataSet& dataSet) const;
  // Posts with CheckOnPost set to `check`; CheckOnPost is true again afterwards whatever happens.
  virtual void PostWithoutCheck(bool check);
  // Runs `sql` on the server and loads the reply into `target`. A failing call raises; a reply that cannot
  // be loaded is reported and gives false, as does a reply that is not a packet.
  virtual bool OpenClientDataSet(TClientDataSet& target, const std::string& sql);
  // The property's default value without enclosing quote marks; false when it has none.
  virtual bool DefaultValueText(TSysPropDesc& prop, std::string& text);
  // Reads the rows that satisfy `condition` (field names and SQL). True when rows came back.
  virtual bool Read(const std::string& condition, int queryKind);
  virtual bool SearchWhere(const std::string& condition, const std::string& passThrough, int queryKind,
                           int searchFlag);
  // Searches the fields of the numbered properties (numbers outside 1..count are skipped).
  virtual bool SearchProps(const std::vector<int>& propNumbers, const std::string& condition,
                           const std::string& passThrough, int queryKind, int searchFlag);
  virtual bool SearchFields(const std::string& fieldList, const std::string& condition,
                            const std::string& passThrough, int queryKind, int searchFlag);
  // Sends the change log to the server (`text`, or SaveText when empty); merges it on success.
  virtual bool Save(const std::string& text);
  // Deletes the rows of the class table that satisfy `condition` on the server; an empty condition raises.
  virtual void DeleteWhere(const std::string& condition);
  // The entries of an enumeration property ("code-name") and, when `codes` is given, their codes.
  virtual void GetPickList(TSysPropDesc& prop, std::vector<std::string>& list,
                           std::vector<std::string>* codes);
  // Rewrites a condition written with captions and display values into TranslatedWhere.
  virtual void TranslateWhere(const std::string& condition);
  // The property's RefCondition with "&CURRTABLE&" and the bracketed field names and captions of the bound
  // properties replaced by their current values.
  virtual std::string ExpandRefCondition(TSysPropDesc& prop);
  virtual void ApplyRefConditions(const std::vector<int>& propNumbers);
  virtual void ClearRefConditions(const std::vector<int>& propNumbers);

  // The master of a master-detail entity, null for any other; formulas reach the master's properties.
  virtual TSysClassEntity* MasterEntity() const { return nullptr; }

  // ---- Field text and input ----
  // The display format of a property: a "@formula@" format is evaluated over this entity (a text result is
  // the format, anything else or an error gives none); any other DisplayFormat is the format itself.
  std::string FormatOf(TSysPropDesc& prop);
  // The text shown for the property's current value by data type, format, enumeration and looked-up name;
  // "" for a property without a field or a value that cannot be shown.
  std::string DisplayText(TSysPropDesc& prop);
  // Stores a typed text into the property's field by data type (yes/no, booleans, text length, numbers
  // truncated to Decimals, dates and times). Raises sw::Error for a text that is not a number.
  void SetText(TSysPropDesc& prop, const std::string& text);
  // The whole input path of a typed code: changing event, check, store, look-up with its dependents and the
  // property's expression. Raises sw::Abort when the check refuses the value.
  virtual void SetPropText(TSysPropDesc& prop, const std::string& text);
  // Checks a value on input (`interactive`, messages shown) or at post (ErrorText only): required values and
  // the existence of looked-up codes, then OnCheckValue.
  virtual bool CheckValue(TSysPropDesc& prop, const std::string& text, bool interactive,
                          const Variant& oldValue);
  // Whether the value exists in the property's enumeration or look-up; an article code resolved from a bar
  // code or cargo number replaces `text`.
  virtual bool ExistsInLookup(TSysPropDesc& prop, std::string& text);
  // Runs the property's look-up for `value` (a blank value lists every entry) into `target`. `nameText` gets
  // the resolved article code ("*" when an article search found none), `keyField` "BarCode" when the code
  // came from a secondary bar code. False when the statement failed or the property has no look-up.
  virtual bool LookupQuery(TClientDataSet& target, TSysPropDesc& prop, bool wantCodes,
                           const std::string& value, std::string& nameText, std::string& keyField);
  // Copies the current row of a look-up (or, with none, empties) into the property's field, its name field
  // and the fields of its kind-4 dependents. `keyText` gets the controlling key of a kind-4 property.
  virtual void ApplyLookup(TClientDataSet* lookup, TSysPropDesc& prop, std::string& keyText,
                           const std::string& value, const std::string& keyField);

  // ---- Helpers of the operations above ----
  // Loads a data packet from the server, binding fields and applying column rights; false for a value that
  // is not a packet (the data set keeps its content) and on a load failure (reported).
  bool SetClassData(const Variant& packet);
  // The condition the property's look-ups use: its expanded Condition and its expanded RefCondition.
  std::string LookupCondition(TSysPropDesc& prop);
  // The literal of one value token of TranslateWhere: `rawToken` as written (quotes removed), for LastField.
  std::string ValueLiteral(const std::string& rawToken);
  // Article look-up of the value rule: the article code of a PLU, bar code or cargo number, found by the
  // article search of the class's first article look-up property; false when none is found or the class has
  // no such property.
  virtual bool FindArticleCode(const std::string& value, std::string& pluCode);
  // The text handlers of bound fields. FieldGetNull masks a column: always "*".
  void FieldGetText(TField& field, std::string& text, bool displayText);
  void FieldSetText(TField& field, const std::string& text);
  static void FieldGetNull(TField& field, std::string& text, bool displayText);
  static void FieldSetNull(TField& field, const std::string& text);

 protected:
  void DoBeforeInsert() override;
  void DoBeforeEdit() override;
  void DoBeforePost() override;
  void DoBeforeDelete() override;
  void DoAfterDelete() override;
  // Closing drops the fields: the properties let go of them first.
  void DoBeforeClose() override;
  // Writes a system-log entry for `source` with `text` under the session's login id. Never raises.
  void ReportError(std::string_view source, std::string_view text);
  // Reports a failed save: a log entry for `source`, then the server's own text when the message begins with
  // "@" (at most 2,048 characters), else the fixed save message.
  void ReportSaveError(std::string_view source, const std::string& message);
  // Shows a message in the information box.
  static void ShowMessage(std::string_view text);

 private:
  // Request preparation: expands the conditions, returns the description to send; `Restore` puts the
  // conditions and the header back.
  class RequestScope;
  void Tokenize(const std::string& condition, std::vector<std::string>& tokens) const;
  void TokenStep(const std::string& token, std::string& out, int& previousKind);

  std::unique_ptr<TSysClassDesc> classDesc_;
  // Set while Post runs the data set's post with the checks; the plain posts of select mode, of nested
  // posts and of the order numbers post without them.
  bool checkingPost_ = false;
};

// The property a field is bound to (its tag), or null.
TSysPropDesc* PropOfField(const TField& field);

}  // namespace sw
