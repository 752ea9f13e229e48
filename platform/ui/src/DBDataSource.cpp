#include "sw/ui/DBDataSource.h"

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/QtText.h"

namespace sw {

class TDBDataSource::Link : public TDataLink {
 public:
  explicit Link(TDBDataSource& owner) : owner_(owner) {}

 protected:
  void DataSetChanged() override { emit owner_.DataChanged(); }
  void DataSetScrolled() override { emit owner_.Scrolled(); }
  void RecordChanged(TField* field) override { emit owner_.RecordChanged(field); }
  void StateChanged() override { emit owner_.StateChanged(); }

 private:
  TDBDataSource& owner_;
};

TDBDataSource::TDBDataSource(QObject* parent, const std::string& name)
    : QObject(parent), link_(std::make_unique<Link>(*this)) {
  if (!name.empty()) setObjectName(ui::ToQ(name));
}

TDBDataSource::~TDBDataSource() = default;

void TDBDataSource::SetDataSet(TClientDataSet* dataSet) {
  if (link_->DataSet() == dataSet) return;
  link_->SetDataSet(dataSet);
  emit DataSetReplaced();
}

TClientDataSet* TDBDataSource::DataSet() const {
  return link_->DataSet();
}

TClientDataSet* TDBDataSource::OpenDataSet() const {
  TClientDataSet* ds = link_->DataSet();
  return ds != nullptr && ds->Active() ? ds : nullptr;
}

int TDBDataSource::RecNo() const {
  TClientDataSet* ds = OpenDataSet();
  return ds != nullptr && ds->RecordCount() > 0 ? ds->RecNo() - 1 : -1;
}

int TDBDataSource::RecordCount() const {
  TClientDataSet* ds = OpenDataSet();
  return ds != nullptr ? ds->RecordCount() : 0;
}

void TDBDataSource::MoveTo(int row) {
  TClientDataSet* ds = OpenDataSet();
  if (ds == nullptr) throw Error("The data set is not open");
  if (row < 0 || row >= ds->RecordCount()) throw Error("Record " + IntToStr(row + 1) + " does not exist");
  ds->SetRecNo(row + 1);
}

TField* TDBDataSource::FindField(const std::string& name) const {
  TClientDataSet* ds = OpenDataSet();
  return ds != nullptr ? ds->FindField(name) : nullptr;
}

}  // namespace sw
