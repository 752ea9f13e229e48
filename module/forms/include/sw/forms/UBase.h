#pragma once
// TfrmBase: the root of every form. It takes the host's visual style at creation and applies it at every
// show, makes Enter move to the next control, prepares grids for click-to-sort titles and tells the host
// window which function is active whenever the form is activated. It also carries the values a host hands to
// a form from outside: the function code, the close notification, a linked condition and workflow data.
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <string>

#include "sw/core/Variant.h"
#include "sw/data/USysDict.h"
#include "sw/hostvars/HostVars.h"

namespace sw {

class TApplication;
class TDBGridEh;

// The host's close notification: called with the closing form's Tag.
using TCloseCallback = void (*)(std::int32_t tag);

class TfrmBase : public QMainWindow {
  Q_OBJECT
  Q_PROPERTY(QString FunCode READ FunCodeQ WRITE SetFunCodeQ)
  Q_PROPERTY(qlonglong Tag READ Tag WRITE SetTag)

 public:
  // Creates the form owned by `owner` (the module's application object when null; no owner when there is
  // none).
  explicit TfrmBase(TApplication* owner = nullptr);
  ~TfrmBase() override;

  // Values the host sets between creation and show.
  const std::string& FunCode() const { return funCode_; }
  void SetFunCode(std::string code) { funCode_ = std::move(code); }
  std::int64_t Tag() const { return tag_; }
  void SetTag(std::int64_t tag) { tag_ = tag; }
  TCloseCallback CloseCallback() const { return closeCallback_; }
  void SetCloseCallback(TCloseCallback cb) { closeCallback_ = cb; }

  TEnumLangType LanguageType = lt_Def;
  TButtonStyle ButtonStyle;
  TFaceStyle FaceStyle;
  std::string ImeName;
  Variant sParam;
  bool IsWFLState = false;
  std::string LinkWhere;
  std::string WflWhere;

  // Entry points through which the host passes values to a form (never called inside the module).
  virtual void ReplaceParamWhere(Variant& where);
  virtual void SetLinkWhere(const Variant& where);
  virtual void SetWflData(const Variant& data);

  // Shows the form modally through the modal hook and returns its modal result.
  int ShowModal();
  bool IsModal() const { return modal_; }
  // The result a modal form returns; setting a non-zero value closes a modal form.
  int ModalResult() const;
  void SetModalResult(int result);

  // The published handlers, callable directly (tests, descendants).
  void FormCreate();
  void FormShow();
  // Sends "FunCode|Tag" to the host's main window unless "MainHandle" is empty or 0, or the form is modal.
  // A "MainHandle" that is not a number raises sw::Error.
  void FormActivate();
  virtual void FormKeyPress(QObject* sender, char& key);
  // Re-sorts the grid's data by its sort markers.
  virtual void GridSortMarkingChanged(TDBGridEh* grid);

  // The text FormActivate sends (without the terminating 0 byte).
  std::string ActivationText() const;

 protected:
  // Hooks of the descendants; empty here.
  virtual void LoadCaptions() {}

  // Applies the input-method settings to one component when it is one of the edit kinds that take them.
  static void SetControlIme(QObject* component, const std::string& imeName);
  // Prepares a grid with Tag 0 for click-to-sort titles and the host's grid colours.
  void PrepareGrid(TDBGridEh& grid);

  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QString FunCodeQ() const;
  void SetFunCodeQ(const QString& code);
  void LoadHostStyle();

  std::string funCode_;
  std::int64_t tag_ = 0;
  TCloseCallback closeCallback_ = nullptr;
  bool modal_ = false;
};

}  // namespace sw
