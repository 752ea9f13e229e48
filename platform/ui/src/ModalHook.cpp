#include "sw/ui/ModalHook.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QVariant>

#include "sw/core/Error.h"
#include "sw/ui/QtText.h"

namespace sw::ui {

namespace {
constexpr const char* kDriverProperty = "swModalDriver";

QObject* InstalledDriver() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return nullptr;
  return app->property(kDriverProperty).value<QObject*>();
}

void InstallDriver(QObject* driver) {
  if (QCoreApplication* app = QCoreApplication::instance())
    app->setProperty(kDriverProperty, QVariant::fromValue(driver));
}

// Ends a local event loop when the watched window is hidden or destroyed.
class HideWatcher : public QObject {
 public:
  HideWatcher(QWidget& window, QEventLoop& loop) : loop_(loop) { window.installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) loop_.quit();
    return QObject::eventFilter(watched, event);
  }

 private:
  QEventLoop& loop_;
};
}  // namespace

int ExecModal(QWidget& window) {
  if (auto* dialog = qobject_cast<QDialog*>(&window)) return dialog->exec();
  QPointer<QWidget> guard(&window);
  QEventLoop loop;
  HideWatcher watcher(window, loop);
  QObject::connect(&window, &QObject::destroyed, &loop, &QEventLoop::quit);
  const Qt::WindowModality before = window.windowModality();
  window.setWindowModality(Qt::ApplicationModal);
  window.show();
  if (window.isVisible()) loop.exec(QEventLoop::DialogExec);
  if (guard.isNull()) return 0;
  window.setWindowModality(before);
  return window.property("ModalResult").toInt();
}

int RunModal(QWidget& window) {
  QObject* driver = InstalledDriver();
  if (driver == nullptr) return ExecModal(window);
  int result = 0;
  if (!QMetaObject::invokeMethod(driver, "runModal", Qt::DirectConnection, Q_RETURN_ARG(int, result),
                                 Q_ARG(QWidget*, &window)))
    throw Error("The installed modal driver cannot run windows");
  return result;
}

ModalDriver::ModalDriver() {
  if (QCoreApplication::instance() == nullptr) throw Error("A modal driver needs the Qt application object");
  setObjectName("ModalDriver");
  previous_ = InstalledDriver();
  InstallDriver(this);
}

ModalDriver::~ModalDriver() {
  if (InstalledDriver() == this) InstallDriver(previous_);
}

int ModalDriver::runModal(QWidget* window) {
  return window == nullptr ? 0 : Answer(*window);
}

ShownWindow DescribeWindow(const QWidget& window) {
  ShownWindow w;
  w.className = window.metaObject()->className();
  w.objectName = FromQ(window.objectName());
  w.title = FromQ(window.windowTitle());
  if (const auto* box = qobject_cast<const QMessageBox*>(&window)) w.text = FromQ(box->text());
  return w;
}

int NaturalAnswer(const QMessageBox& box) {
  if (box.button(QMessageBox::No) != nullptr) return QMessageBox::No;
  if (box.button(QMessageBox::Cancel) != nullptr) return QMessageBox::Cancel;
  return QMessageBox::Ok;
}

void ScriptedModalDriver::Push(Handler handler) {
  queue_.push_back(std::move(handler));
}

void ScriptedModalDriver::PushButton(QMessageBox::StandardButton button) {
  queue_.push_back([button](QWidget&) { return static_cast<int>(button); });
}

void ScriptedModalDriver::PushExec() {
  queue_.push_back([](QWidget& window) { return ExecModal(window); });
}

void ScriptedModalDriver::Clear() {
  queue_.clear();
  shown_.clear();
}

int ScriptedModalDriver::Answer(QWidget& window) {
  shown_.push_back(DescribeWindow(window));
  if (!queue_.empty()) {
    Handler handler = std::move(queue_.front());
    queue_.pop_front();
    return handler(window);
  }
  if (const auto* box = qobject_cast<const QMessageBox*>(&window)) return NaturalAnswer(*box);
  return 0;
}

}  // namespace sw::ui
