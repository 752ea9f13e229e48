#pragma once
// The five screen classes the factories create. Until the screens are built on the data and query forms, each
// is a TfrmBase descendant with its class name, component name and caption, an empty result grid and a status
// bar, and the close sequence the host relies on: free on close, and the close callback with the form's Tag.
#include <string>

#include "sw/forms/UBase.h"

namespace sw {

class TDBGridEh;
class TDBDataSource;

class TfrmScreenStandIn : public TfrmBase {
  Q_OBJECT

 public:
  TfrmScreenStandIn(TApplication* owner, const std::string& name, const std::string& caption);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool notified_ = false;
};

class TfrmQryDelUser : public TfrmScreenStandIn {
  Q_OBJECT
 public:
  explicit TfrmQryDelUser(TApplication* owner);
};

class TfrmQryDelEmp : public TfrmScreenStandIn {
  Q_OBJECT
 public:
  explicit TfrmQryDelEmp(TApplication* owner);
};

class TfrmUserInfo : public TfrmScreenStandIn {
  Q_OBJECT
 public:
  explicit TfrmUserInfo(TApplication* owner);
};

class TfrmLogQuery : public TfrmScreenStandIn {
  Q_OBJECT
 public:
  explicit TfrmLogQuery(TApplication* owner);
};

class TfrmQueryMoni : public TfrmScreenStandIn {
  Q_OBJECT
 public:
  explicit TfrmQueryMoni(TApplication* owner);
};

}  // namespace sw
