#include "sw/ui/DBEdits.h"

#include <QDoubleValidator>

#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/Application.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {
void Name(QObject& o, const std::string& name) {
  if (!name.empty()) o.setObjectName(ui::ToQ(name));
}

// Days since 1899-12-30 <-> QDate.
const QDate kDayZero(1899, 12, 30);
}  // namespace

TFieldDataLink::TFieldDataLink(QObject* editor, std::function<void()> refresh)
    : QObject(editor), refresh_(std::move(refresh)) {}

void TFieldDataLink::SetDataSource(TDBDataSource* source) {
  if (source_ != nullptr) disconnect(source_, nullptr, this, nullptr);
  source_ = source;
  if (source_ != nullptr) {
    for (auto signal : {&TDBDataSource::DataChanged, &TDBDataSource::Scrolled, &TDBDataSource::StateChanged,
                        &TDBDataSource::DataSetReplaced})
      connect(source_, signal, this, &TFieldDataLink::Refresh);
    connect(source_, &TDBDataSource::RecordChanged, this, &TFieldDataLink::Refresh);
    connect(source_, &QObject::destroyed, this, [this] { source_ = nullptr; });
  }
  Refresh();
}

void TFieldDataLink::SetFieldName(std::string name) {
  fieldName_ = std::move(name);
  Refresh();
}

TField* TFieldDataLink::Field() const {
  return source_ != nullptr && !fieldName_.empty() ? source_->FindField(fieldName_) : nullptr;
}

std::string TFieldDataLink::Text() const {
  TField* f = Field();
  return f != nullptr && source_->RecordCount() > 0 ? f->Text() : std::string();
}

bool TFieldDataLink::WriteText(const std::string& text) {
  return Write([&text](TField& f) { f.SetText(text); });
}

bool TFieldDataLink::WriteValue(const Variant& value) {
  return Write([&value](TField& f) { f.SetValue(value); });
}

bool TFieldDataLink::Write(const std::function<void(TField&)>& put) {
  TField* f = Field();
  if (f == nullptr || f->ReadOnly()) return false;
  TClientDataSet& ds = f->DataSet();
  if (ds.State() == TDataSetState::dsBrowse && ds.RecordCount() == 0) return false;
  // Called from the editors' signal handlers: a refused value is shown, not thrown into Qt.
  writing_ = true;
  try {
    if (ds.State() == TDataSetState::dsBrowse) ds.Edit();
    put(*f);
  } catch (...) {
    writing_ = false;
    TApplication::HandleException();
    Refresh();
    return false;
  }
  writing_ = false;
  return true;
}

void TFieldDataLink::Refresh() {
  if (!writing_ && refresh_) refresh_();
}

TDBEdit::TDBEdit(QWidget* parent, const std::string& name)
    : QLineEdit(parent), link_(this, [this] { setText(ui::ToQ(link_.Text())); }) {
  Name(*this, name);
  connect(this, &QLineEdit::editingFinished, this, [this] {
    if (isModified() || ui::FromQ(text()) != link_.Text()) link_.WriteText(ui::FromQ(text()));
    setModified(false);
  });
}

TDBNumberEditEh::TDBNumberEditEh(QWidget* parent, const std::string& name) : TDBEdit(parent, name) {
  auto* v = new QDoubleValidator(this);  // child of the edit
  v->setLocale(QLocale::c());
  setValidator(v);
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

TDBDateTimeEditEh::TDBDateTimeEditEh(QWidget* parent, const std::string& name)
    : QDateEdit(parent), link_(this, [this] {
        TField* f = link_.Field();
        const bool has = f != nullptr && !f->IsNull() && link_.DataSource()->RecordCount() > 0;
        QSignalBlocker block(this);
        setDate(has ? kDayZero.addDays(static_cast<qint64>(f->AsDateTime())) : minimumDate());
      }) {
  Name(*this, name);
  setDisplayFormat("yyyy-MM-dd");
  setCalendarPopup(true);
  connect(this, &QDateEdit::dateChanged, this, [this](const QDate& d) {
    if (TField* f = link_.Field(); f != nullptr && !link_.Writing())
      link_.WriteValue(Variant::Date(static_cast<double>(kDayZero.daysTo(d))));
  });
}

TDBComboBoxEh::TDBComboBoxEh(QWidget* parent, const std::string& name)
    : QComboBox(parent), link_(this, [this] {
        const std::string v = link_.Text();
        int i = -1;
        for (std::size_t k = 0; k < keys_.size(); ++k)
          if (keys_[k] == v) i = static_cast<int>(k);
        if (keys_.empty()) i = findText(ui::ToQ(v));
        QSignalBlocker block(this);
        setCurrentIndex(i);
      }) {
  Name(*this, name);
  connect(this, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    if (i < 0) return;
    link_.WriteText(static_cast<std::size_t>(i) < keys_.size() ? keys_[static_cast<std::size_t>(i)]
                                                               : ui::FromQ(itemText(i)));
  });
}

void TDBComboBoxEh::SetItems(const std::vector<std::string>& items,
                             const std::vector<std::string>& keyItems) {
  QSignalBlocker block(this);
  clear();
  for (const auto& s : items) addItem(ui::ToQ(s));
  keys_ = keyItems;
  link_.Refresh();
}

TDBCheckBoxEh::TDBCheckBoxEh(QWidget* parent, const std::string& name)
    : QCheckBox(parent), link_(this, [this] {
        QSignalBlocker block(this);
        setChecked(link_.Text() == ValueChecked);
      }) {
  Name(*this, name);
  connect(this, &QCheckBox::clicked, this,
          [this](bool on) { link_.WriteText(on ? ValueChecked : ValueUnchecked); });
}

TDBMemo::TDBMemo(QWidget* parent, const std::string& name)
    : QPlainTextEdit(parent), link_(this, [this] {
        QSignalBlocker block(this);
        setPlainText(ui::ToQ(link_.Text()));
        document()->setModified(false);
      }) {
  Name(*this, name);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
  if (document()->isModified()) {
    link_.WriteText(ui::FromQ(toPlainText()));
    document()->setModified(false);
  }
  QPlainTextEdit::focusOutEvent(event);
}

}  // namespace sw
