#include "ScriptRunner.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <algorithm>
#include <istream>
#include <ostream>

#include "HostWindow.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/ui/DBGridModel.h"
#include "sw/ui/ModalHook.h"
#include "sw/ui/QtText.h"

namespace sw::host {

namespace {

void Need(const std::vector<std::string>& w, std::size_t n, const char* usage) {
  if (w.size() < n) throw Error(std::string("usage: ") + usage);
}

void Pump() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

int ToInt(const std::string& s, const char* what) {
  const auto v = TryStrToInt64(s);
  if (!v) throw Error(std::string(what) + " '" + s + "' is not a number");
  return static_cast<int>(*v);
}

void Expect(const std::string& what, const std::string& actual, const std::string& wanted) {
  if (actual != wanted) throw Error(what + ": expected \"" + wanted + "\", got \"" + actual + "\"");
}

QWidget& Form(HostWindow& host) {
  QWidget* form = host.CurrentForm();
  if (form == nullptr) throw Error("no form is open");
  return *form;
}

template <typename T>
T* FindIn(QWidget& form, const std::string& name) {
  if (ui::FromQ(form.objectName()) == name) {
    if (auto* self = qobject_cast<T*>(&form)) return self;
  }
  return form.findChild<T*>(ui::ToQ(name));
}

// The module's grids are reached through the Qt classes they derive from: the host and the module each carry
// their own copy of the grid class, so a cast to it would not recognise the module's objects.
QTableView& Grid(HostWindow& host, const std::string& name) {
  auto* grid = FindIn<QTableView>(Form(host), name);
  if (grid == nullptr || grid->model() == nullptr) throw Error("no grid named " + name);
  return *grid;
}

void SelectGridRow(QTableView& grid, int row) {
  QAbstractItemModel* m = grid.model();
  if (row < 0 || row >= m->rowCount()) throw Error("grid row " + IntToStr(row) + " does not exist");
  grid.selectionModel()->setCurrentIndex(m->index(row, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::string GridCell(QTableView& grid, int row, const std::string& column) {
  QAbstractItemModel* m = grid.model();
  int col = -1;
  if (const auto n = TryStrToInt64(column); n) {
    col = static_cast<int>(*n);
  } else {
    for (int c = 0; c < m->columnCount(); ++c)
      if (SameText(ui::FromQ(m->headerData(c, Qt::Horizontal, kFieldNameRole).toString()), column)) col = c;
  }
  if (col < 0 || col >= m->columnCount()) throw Error("the grid has no column " + column);
  if (row < 0 || row >= m->rowCount()) throw Error("grid row " + IntToStr(row) + " does not exist");
  return ui::FromQ(m->data(m->index(row, col), Qt::DisplayRole).toString());
}

// Panels of a form's status bar, left to right.
std::vector<QLabel*> StatusPanels(QWidget& form) {
  std::vector<QLabel*> panels;
  auto* bar = form.findChild<QStatusBar*>();
  if (bar == nullptr) return panels;
  for (QLabel* l : bar->findChildren<QLabel*>())
    if (l->isVisibleTo(bar)) panels.push_back(l);
  std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
  return panels;
}

QMessageBox::StandardButton ButtonOf(const std::string& s) {
  if (SameText(s, "yes")) return QMessageBox::Yes;
  if (SameText(s, "no")) return QMessageBox::No;
  if (SameText(s, "ok")) return QMessageBox::Ok;
  if (SameText(s, "cancel")) return QMessageBox::Cancel;
  throw Error("answer must be yes, no, ok or cancel, not '" + s + "'");
}

}  // namespace

std::vector<std::string> SplitStep(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    if (line[i] == '"') {
      const std::size_t end = line.find('"', i + 1);
      if (end == std::string::npos) throw Error("unterminated quoted text");
      words.push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
      words.push_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

ScriptRunner::ScriptRunner(HostWindow& host, std::ostream& out, std::string shotsDir)
    : host_(host),
      out_(out),
      shotsDir_(std::move(shotsDir)),
      driver_(std::make_unique<ui::ScriptedModalDriver>()) {
  if (!shotsDir_.empty()) QDir().mkpath(ui::ToQ(shotsDir_));
}

ScriptRunner::~ScriptRunner() = default;

int ScriptRunner::Run(std::istream& script) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string step = Trim(line);
    if (step.empty() || step[0] == '#') continue;
    out_ << "step " << number << ": " << step << " ... " << std::flush;
    try {
      Step(step);
      out_ << "ok\n";
    } catch (const std::exception& e) {
      out_ << "FAILED: " << e.what() << "\n";
      return 1;
    }
  }
  out_ << "all steps passed\n";
  return 0;
}

void ScriptRunner::Step(const std::string& line) {
  const auto w = SplitStep(line);
  if (w.empty() || w[0][0] == '#') return;
  const std::string& cmd = w[0];
  if (cmd == "open") {
    Need(w, 2, "open EXPORT [FUNCODE [TAG]]");
    host_.OpenFactory(w[1], w.size() > 2 ? w[2] : std::string(), w.size() > 3 ? ToInt(w[3], "tag") : 0);
  } else if (cmd == "action") {
    Need(w, 2, "action NAME");
    auto* act = Form(host_).findChild<QAction*>(ui::ToQ(w[1]));
    if (act == nullptr) throw Error("no action named " + w[1]);
    if (!act->isEnabled()) throw Error("action " + w[1] + " is disabled");
    act->trigger();
  } else if (cmd == "set") {
    Need(w, 3, "set NAME TEXT");
    QWidget& form = Form(host_);
    if (auto* combo = FindIn<QComboBox>(form, w[1])) {
      const int i = combo->findText(ui::ToQ(w[2]));
      if (i >= 0) {
        combo->setCurrentIndex(i);
        emit combo->activated(i);  // as a user's choice does (data-aware combo boxes write on it)
      } else if (combo->isEditable())
        combo->setEditText(ui::ToQ(w[2]));
      else
        throw Error("combo box " + w[1] + " has no item \"" + w[2] + "\"");
    } else if (auto* date = FindIn<QDateEdit>(form, w[1])) {
      const QDate d = QDate::fromString(ui::ToQ(w[2]), Qt::ISODate);
      if (!d.isValid()) throw Error("'" + w[2] + "' is not a date (YYYY-MM-DD)");
      date->setDate(d);
    } else if (auto* check = FindIn<QCheckBox>(form, w[1])) {
      check->setChecked(w[2] == "1" || SameText(w[2], "true"));
    } else if (auto* edit = FindIn<QLineEdit>(form, w[1])) {
      edit->setText(ui::ToQ(w[2]));
      emit edit->editingFinished();
    } else if (auto* memo = FindIn<QPlainTextEdit>(form, w[1])) {
      memo->setPlainText(ui::ToQ(w[2]));
    } else {
      throw Error("no edit, combo box, date edit or check box named " + w[1]);
    }
  } else if (cmd == "select") {
    Need(w, 3, "select GRID ROW");
    SelectGridRow(Grid(host_, w[1]), ToInt(w[2], "row"));
  } else if (cmd == "answer") {
    Need(w, 2, "answer yes|no|ok|cancel");
    driver_->PushButton(ButtonOf(w[1]));
  } else if (cmd == "expect") {
    Need(w, 3, "expect status|hoststatus|message|caption|cell|closed ...");
    const std::string& what = w[1];
    if (what == "caption") {
      Expect("caption", ui::FromQ(Form(host_).windowTitle()), w[2]);
    } else if (what == "hoststatus") {
      Expect("host status", host_.StatusText(), w[2]);
    } else if (what == "message") {
      const auto& shown = driver_->Shown();
      if (shown.empty()) throw Error("no message box was shown");
      Expect("message", shown.back().text, w[2]);
    } else if (what == "status") {
      Need(w, 4, "expect status PANEL TEXT");
      const auto panels = StatusPanels(Form(host_));
      const int panel = ToInt(w[2], "panel");
      if (panel < 0 || static_cast<std::size_t>(panel) >= panels.size())
        throw Error("the form has no status panel " + w[2]);
      Expect("status panel " + w[2], ui::FromQ(panels[static_cast<std::size_t>(panel)]->text()), w[3]);
    } else if (what == "cell") {
      Need(w, 6, "expect cell GRID ROW COLUMN TEXT");
      Expect("cell", GridCell(Grid(host_, w[2]), ToInt(w[3], "row"), w[4]), w[5]);
    } else if (what == "closed") {
      const auto& tags = host_.ClosedTags();
      if (tags.empty()) throw Error("no form has notified its close");
      Expect("closed tag", IntToStr(tags.back()), w[2]);
    } else {
      throw Error("unknown expectation '" + what + "'");
    }
  } else if (cmd == "shot") {
    Need(w, 2, "shot NAME");
    if (shotsDir_.empty()) return;  // no --shots given: screenshots are skipped
    Pump();
    QWidget& form = Form(host_);
    const QString file = QDir(ui::ToQ(shotsDir_)).filePath(ui::ToQ(w[1]) + ".png");
    if (!form.grab().save(file)) throw Error("cannot write " + ui::FromQ(file));
    shots_.push_back(ui::FromQ(file));
  } else if (cmd == "close") {
    Form(host_).close();
  } else if (cmd == "wait") {
    Need(w, 2, "wait MS");
    QElapsedTimer t;
    t.start();
    const int ms = ToInt(w[1], "time");
    while (t.elapsed() < ms) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(5);
    }
  } else {
    throw Error("unknown step '" + cmd + "'");
  }
  Pump();
}

}  // namespace sw::host
