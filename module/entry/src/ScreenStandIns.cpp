#include "ScreenStandIns.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>

#include "sw/forms/ModuleExports.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {
const char* CaptionOf(const char* formClass) {
  for (const auto& e : kFactoryExports)
    if (std::string_view(e.Form) == formClass) return e.Caption;
  return "";
}
}  // namespace

TfrmScreenStandIn::TfrmScreenStandIn(TApplication* owner, const std::string& name, const std::string& caption)
    : TfrmBase(owner) {
  setObjectName(ui::ToQ(name));
  setWindowTitle(ui::ToQ(caption));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(640, 420);
  auto* source = new TDBDataSource(this, "DSMaster");  // child of the form
  auto* grid = new TDBGridEh(this, "dgrdsearch");      // the form's central widget
  grid->SetDataSource(source);
  grid->Options().ReadOnly = true;
  grid->Options().FooterRowCount = 1;
  grid->ApplyOptions();
  setCentralWidget(grid);
  // Three fixed status panels, as the query forms have them.
  for (int i = 0; i < 3; ++i) {
    auto* panel = new QLabel(statusBar());  // owned by the status bar
    panel->setObjectName(QString("StatusPanel%1").arg(i));
    statusBar()->addWidget(panel, i == 2 ? 1 : 0);
  }
}

void TfrmScreenStandIn::closeEvent(QCloseEvent* event) {
  // The host is told while the form still exists; the form is freed after the handlers return.
  TfrmBase::closeEvent(event);
  if (!event->isAccepted() || notified_) return;
  notified_ = true;
  if (TCloseCallback cb = CloseCallback()) cb(static_cast<std::int32_t>(Tag()));
}

TfrmQryDelUser::TfrmQryDelUser(TApplication* owner)
    : TfrmScreenStandIn(owner, "frmQryDelUser", CaptionOf("TfrmQryDelUser")) {}
TfrmQryDelEmp::TfrmQryDelEmp(TApplication* owner)
    : TfrmScreenStandIn(owner, "frmQryDelEmp", CaptionOf("TfrmQryDelEmp")) {}
TfrmUserInfo::TfrmUserInfo(TApplication* owner)
    : TfrmScreenStandIn(owner, "frmUserInfo", CaptionOf("TfrmUserInfo")) {}
TfrmLogQuery::TfrmLogQuery(TApplication* owner)
    : TfrmScreenStandIn(owner, "frmLogQuery", CaptionOf("TfrmLogQuery")) {}
TfrmQueryMoni::TfrmQueryMoni(TApplication* owner)
    : TfrmScreenStandIn(owner, "frmQueryMoni", CaptionOf("TfrmQueryMoni")) {}

}  // namespace sw
