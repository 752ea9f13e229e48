#pragma once
// Data-aware editors: each shows one field of the current record of its data source and writes what the user
// typed back into that field (putting the data set into edit state when it browses). Posting is left to the
// form.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "sw/core/Variant.h"

namespace sw {

class TDBDataSource;
class TField;

// The tie between one editor and one field: follows the data source and tells the editor to re-read.
class TFieldDataLink : public QObject {
  Q_OBJECT

 public:
  // `refresh` re-reads the field into the editor; it is called whenever the record or its values change.
  TFieldDataLink(QObject* editor, std::function<void()> refresh);

  void SetDataSource(TDBDataSource* source);
  TDBDataSource* DataSource() const { return source_; }
  void SetFieldName(std::string name);
  const std::string& FieldName() const { return fieldName_; }

  // The bound field of the open data set, or nullptr.
  TField* Field() const;
  // The field's edit text ("" without a field or record).
  std::string Text() const;
  // Writes a text into the field through its set-text handler. False when there is no field or record, or
  // the field is read-only.
  bool WriteText(const std::string& text);
  // Writes a value directly (dates, numbers), with the same rules.
  bool WriteValue(const Variant& value);
  // True while the link itself writes (editors ignore their own change signals then).
  bool Writing() const { return writing_; }
  void Refresh();

 private:
  bool Write(const std::function<void(TField&)>& put);

  TDBDataSource* source_ = nullptr;
  std::string fieldName_;
  std::function<void()> refresh_;
  bool writing_ = false;
};

class TDBEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TDBEdit(QWidget* parent = nullptr, const std::string& name = {});
  TFieldDataLink& Link() { return link_; }

 protected:
  TFieldDataLink link_;
};

// A numeric edit: accepts numbers only; writes them as texts the field parses.
class TDBNumberEditEh : public TDBEdit {
  Q_OBJECT

 public:
  explicit TDBNumberEditEh(QWidget* parent = nullptr, const std::string& name = {});
};

class TDBDateTimeEditEh : public QDateEdit {
  Q_OBJECT

 public:
  explicit TDBDateTimeEditEh(QWidget* parent = nullptr, const std::string& name = {});
  TFieldDataLink& Link() { return link_; }

 private:
  TFieldDataLink link_;
};

// A drop-down list: Items are shown; KeyItems (when given) are stored in the field, else the item texts.
class TDBComboBoxEh : public QComboBox {
  Q_OBJECT

 public:
  explicit TDBComboBoxEh(QWidget* parent = nullptr, const std::string& name = {});
  TFieldDataLink& Link() { return link_; }
  void SetItems(const std::vector<std::string>& items, const std::vector<std::string>& keyItems = {});
  const std::vector<std::string>& KeyItems() const { return keys_; }

 private:
  TFieldDataLink link_;
  std::vector<std::string> keys_;
};

// A check box that stores ValueChecked or ValueUnchecked.
class TDBCheckBoxEh : public QCheckBox {
  Q_OBJECT

 public:
  explicit TDBCheckBoxEh(QWidget* parent = nullptr, const std::string& name = {});
  TFieldDataLink& Link() { return link_; }
  std::string ValueChecked = "1";
  std::string ValueUnchecked = "0";

 private:
  TFieldDataLink link_;
};

class TDBMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TDBMemo(QWidget* parent = nullptr, const std::string& name = {});
  TFieldDataLink& Link() { return link_; }

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  TFieldDataLink link_;
};

}  // namespace sw
