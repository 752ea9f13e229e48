#pragma once
// Every modal window (message boxes, dialogs, forms shown modally) runs through RunModal. When a modal driver
// is installed it answers in place of a user: tests and scripted host runs drive the dialogs that way.
//
// The installed driver is kept as a property of the Qt application object and called through the meta-object
// system, so that a host program and a module it loaded with dlopen() share one driver although each of them
// carries its own copy of this code.
#include <QMessageBox>
#include <QObject>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace sw::ui {

// Runs the window modally and returns its result: the pressed standard button of a QMessageBox, the result
// code of a QDialog, or the "ModalResult" property of any other window when it closes (0 when unset).
int RunModal(QWidget& window);

// Runs a window modally without asking the driver (the hook's default path).
int ExecModal(QWidget& window);

// Base of the drivers. Constructing one installs it (the previous one is restored when it is destroyed); a
// QApplication must exist.
class ModalDriver : public QObject {
  Q_OBJECT

 public:
  ModalDriver();
  ~ModalDriver() override;
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  // Called by RunModal by name; answers through Answer.
  Q_INVOKABLE int runModal(QWidget* window);

 protected:
  virtual int Answer(QWidget& window) = 0;

 private:
  QObject* previous_ = nullptr;
};

// What a driven modal window showed.
struct ShownWindow {
  std::string className;   // meta-object class name, e.g. "QMessageBox"
  std::string objectName;  // the component name
  std::string title;       // window title (a message box's caption)
  std::string text;        // a message box's text, else empty
};

ShownWindow DescribeWindow(const QWidget& window);

// Answers modal windows from a queue and records what each showed. With the queue empty a message box gets
// its natural answer (No for Yes/No, Cancel for OK/Cancel, OK otherwise) and any other window the result 0.
class ScriptedModalDriver : public ModalDriver {
  Q_OBJECT

 public:
  using Handler = std::function<int(QWidget&)>;

  // The next window is handled by this function, whose result becomes the modal result. It may fill in the
  // window's controls before answering.
  void Push(Handler handler);
  // The next window (a message box) is answered with this button.
  void PushButton(QMessageBox::StandardButton button);
  // The next window is shown and its result left to the window: it runs its own event loop (the host shell
  // uses this for forms the script keeps working on).
  void PushExec();

  const std::vector<ShownWindow>& Shown() const { return shown_; }
  std::size_t Pending() const { return queue_.size(); }
  void Clear();

 protected:
  int Answer(QWidget& window) override;

 private:
  std::deque<Handler> queue_;
  std::vector<ShownWindow> shown_;
};

// Natural answer of a message box: No when it has a No button, else Cancel when it has one, else OK.
int NaturalAnswer(const QMessageBox& box);

}  // namespace sw::ui
