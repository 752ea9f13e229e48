#pragma once
// The application object a module works with: it owns the forms handed to it, hosts message boxes and knows
// the program directory. The module keeps one module-wide reference to it, which every factory call replaces
// with the host's object and which module unload puts back.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

namespace sw {

class TApplication : public QObject {
  Q_OBJECT

 public:
  explicit TApplication(QObject* parent = nullptr);
  // Frees the forms still alive: a form is destroyed with its owning application.
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Takes ownership of a top-level form. A form that frees itself earlier simply drops out of the list.
  void AddForm(QWidget* form);
  // The live forms, in the order they were added.
  std::vector<QWidget*> Forms() const;
  // The live form with the given object name, or nullptr.
  QWidget* FindForm(const std::string& objectName) const;
  // The form that has the keyboard focus, else the most recently added visible form, else nullptr. Message
  // boxes use it as their parent.
  QWidget* ActiveForm() const;

  // Full path of the running program, and its directory with a trailing '/'.
  std::string ExeName() const;
  std::string ProgramDir() const;
  // Makes ProgramDir answer the given directory (tests, hosts that keep files elsewhere); empty restores it.
  void SetProgramDir(std::string dir);

  // Shows a modal message box through the modal hook. Flags are the classic button and icon flags
  // (sw/common/MessageSink.h); the result is the pressed button's classic code (1 OK, 2 Cancel, 6 Yes, 7 No).
  int MessageBox(const std::string& text, const std::string& caption, int flags);

  // Called inside a catch block where an error would otherwise leave a Qt event handler: a silent abort is
  // swallowed, any other error is shown in an error box. Qt cannot carry exceptions through its event loop.
  static void HandleException();

 private:
  std::vector<QPointer<QWidget>> forms_;
  std::string programDir_;
};

// The module-wide application reference (may be null before anyone set it).
TApplication* Application();
// Replaces the module-wide application reference and returns the previous one.
TApplication* SetApplication(TApplication* app);

}  // namespace sw
