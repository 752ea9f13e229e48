#include "sw/forms/UBase.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTextEdit>
#include <vector>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/session/SessionValues.h"
#include "sw/ui/Application.h"
#include "sw/ui/Colors.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/ModalHook.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {

// Components are the named objects of a form (internal parts of Qt widgets carry "qt_" names or none).
bool IsComponent(const QObject* o) {
  const QString name = o->objectName();
  return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// The edit kinds that take an input method: plain, masked and data-bound edits, data-bound combo boxes and
// memos, the labelled data-bound edit and the grid.
bool TakesIme(const QObject* o) {
  const char* cls = o->metaObject()->className();
  static const char* const kinds[] = {"QLineEdit",           "sw::TDBEdit",     "sw::TDBEditEh",
                                      "sw::TDBNumberEditEh", "sw::TDBComboBox", "sw::TDBComboBoxEh",
                                      "sw::TDBMemo",         "sw::TNkDBEdit",   "sw::TDBGridEh"};
  for (const char* k : kinds)
    if (std::string_view(cls) == k) return true;
  return false;
}

// Controls in which Enter keeps its own meaning: memos, rich edits and grids (also their cell editors).
bool KeepsEnter(const QObject* o) {
  for (const QObject* p = o; p != nullptr; p = p->parent()) {
    if (qobject_cast<const QPlainTextEdit*>(p) != nullptr || qobject_cast<const QTextEdit*>(p) != nullptr ||
        qobject_cast<const TDBGridEh*>(p) != nullptr)
      return true;
    if (p->isWidgetType() && static_cast<const QWidget*>(p)->isWindow()) break;
  }
  return false;
}

}  // namespace

TfrmBase::TfrmBase(TApplication* owner) : QMainWindow(nullptr) {
  setObjectName("frmBase");
  setWindowTitle(QString::fromUtf8("基类窗口"));
  resize(371, 241);
  QFont f(QString::fromUtf8("宋体"));
  f.setPointSize(9);
  setFont(f);
  auto* manifest = new QObject(this);  // the XP manifest component: named, no behaviour
  manifest->setObjectName("XPMBase");
  if (owner == nullptr) owner = Application();
  if (owner != nullptr) owner->AddForm(this);
  FormCreate();
}

TfrmBase::~TfrmBase() = default;

QString TfrmBase::FunCodeQ() const {
  return ui::ToQ(funCode_);
}
void TfrmBase::SetFunCodeQ(const QString& code) {
  funCode_ = ui::FromQ(code);
}

void TfrmBase::ReplaceParamWhere(Variant&) {}
void TfrmBase::SetLinkWhere(const Variant&) {}
void TfrmBase::SetWflData(const Variant&) {}

void TfrmBase::FormCreate() {
  LoadHostStyle();
}

void TfrmBase::LoadHostStyle() {
  // Every step that fails leaves the form with what was set so far and its designed look.
  try {
    LanguageType = static_cast<TEnumLangType>(GetLanguageType());
    ButtonStyle = GetPubButtonType();
    FaceStyle = GetPubFaceStyle();
    ImeName = FaceStyle.ImeName;
    IsWFLState = false;
    WflWhere.clear();
  } catch (...) {
  }
}

void TfrmBase::FormShow() {
  LoadCaptions();
  if (FaceStyle.FormColor != 0) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ui::FromTColor(FaceStyle.FormColor));
    setPalette(pal);
    setAutoFillBackground(true);
  }
  if (!FaceStyle.FontName.empty()) {
    // The host's font: name and size (the host publishes no colour, style or pitch of its own).
    QFont f = font();
    f.setFamily(ui::ToQ(FaceStyle.FontName));
    if (FaceStyle.FontSize > 0) f.setPointSize(FaceStyle.FontSize);
    setFont(f);
  }
  setWhatsThis(QString());  // no help file; help by keyword
  sParam = Variant(std::string());
  // Every component in ownership order: input method, and grids with Tag 0 prepared for sorting.
  for (QObject* o : findChildren<QObject*>()) {
    if (!IsComponent(o)) continue;
    SetControlIme(o, ImeName);
    if (auto* grid = qobject_cast<TDBGridEh*>(o); grid != nullptr && grid->Tag() == 0) PrepareGrid(*grid);
    if (o->isWidgetType()) o->installEventFilter(this);  // the form sees keys first
  }
}

void TfrmBase::SetControlIme(QObject* component, const std::string& imeName) {
  if (component == nullptr || !TakesIme(component)) return;
  component->setProperty("ImeMode", imeName.empty() ? "imDontCare" : "imOpen");
  component->setProperty("ImeName", ui::ToQ(imeName));
  if (!imeName.empty() && component->isWidgetType())
    static_cast<QWidget*>(component)->setAttribute(Qt::WA_InputMethodEnabled, true);
}

void TfrmBase::PrepareGrid(TDBGridEh& grid) {
  grid.Options().Flat = true;
  grid.Options().AutoSortMarking = true;
  grid.Options().MultiSortMarking = true;
  grid.ApplyOptions();
  if (FaceStyle.FixedColor != 0) grid.SetFixedColor(ui::FromTColor(FaceStyle.FixedColor));
  if (FaceStyle.FooterColor != 0) grid.SetFooterColor(ui::FromTColor(FaceStyle.FooterColor));
  disconnect(&grid, &TDBGridEh::SortMarkingChanged, this, nullptr);
  connect(&grid, &TDBGridEh::SortMarkingChanged, this, [this](TDBGridEh* g) { GridSortMarkingChanged(g); });
  for (std::size_t i = 0; i < grid.ColumnCount(); ++i) grid.Column(i).Title.TitleButton = true;
}

void TfrmBase::GridSortMarkingChanged(TDBGridEh* grid) {
  if (grid != nullptr) grid->SortByMarkers();
}

std::string TfrmBase::ActivationText() const {
  return funCode_ + "|" + IntToStr(tag_);
}

void TfrmBase::FormActivate() {
  const std::string handle = GetMainHandle();
  if (handle.empty()) return;
  const std::string text = ActivationText();
  // The block carries the text and its terminating 0 byte.
  std::vector<std::uint8_t> buffer(text.begin(), text.end());
  buffer.push_back(0);
  const auto target = TryStrToInt64(Trim(handle));
  if (!target) throw Error("'" + handle + "' is not a valid integer value");
  if (*target == 0 || modal_) return;
  SendCopyData(*target, static_cast<std::int64_t>(winId()), 0,
               std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()));
}

void TfrmBase::FormKeyPress(QObject* sender, char& key) {
  if (key != 13) return;
  QWidget* active = QApplication::focusWidget();
  if (active == nullptr || !isAncestorOf(active))
    active = sender != nullptr && sender->isWidgetType() ? static_cast<QWidget*>(sender) : nullptr;
  if (active != nullptr && KeepsEnter(active)) return;
  key = 0;
  focusNextChild();
}

bool TfrmBase::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(event);
    if ((ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) &&
        (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      char key = 13;
      FormKeyPress(watched, key);
      if (key == 0) return true;  // swallowed
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TfrmBase::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    try {
      FormActivate();
    } catch (...) {
      TApplication::HandleException();  // e.g. a "MainHandle" that is not a number
    }
  }
  return QMainWindow::event(event);
}

void TfrmBase::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

int TfrmBase::ShowModal() {
  modal_ = true;
  setProperty("ModalResult", 0);
  int result = 0;
  try {
    result = ui::RunModal(*this);
  } catch (...) {
    modal_ = false;
    throw;
  }
  modal_ = false;
  return result;
}

int TfrmBase::ModalResult() const {
  return property("ModalResult").toInt();
}

void TfrmBase::SetModalResult(int result) {
  setProperty("ModalResult", result);
  if (result != 0 && modal_) hide();
}

}  // namespace sw
