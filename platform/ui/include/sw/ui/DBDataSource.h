#pragma once
// TDBDataSource: the data source component of the forms. It watches a client data set (as one of its data
// links) and turns the data set's notifications into Qt signals, so that any number of grids and data-aware
// editors follow one data set through one component, also when the component is pointed at another data set.
#include <QObject>
#include <memory>
#include <string>

namespace sw {

class TClientDataSet;
class TField;

class TDBDataSource : public QObject {
  Q_OBJECT

 public:
  explicit TDBDataSource(QObject* parent = nullptr, const std::string& name = {});
  ~TDBDataSource() override;

  // The watched data set (not owned). nullptr detaches. Emits DataSetReplaced.
  void SetDataSet(TClientDataSet* dataSet);
  TClientDataSet* DataSet() const;
  // The data set when it is open, else nullptr.
  TClientDataSet* OpenDataSet() const;

  // Current record (0-based), -1 without an open, non-empty data set.
  int RecNo() const;
  int RecordCount() const;
  // Moves the data set to a record (0-based); out of range raises sw::Error.
  void MoveTo(int row);
  // The field of that name in the open data set, or nullptr.
  TField* FindField(const std::string& name) const;

 signals:
  void DataSetReplaced();                 // pointed at another data set
  void DataChanged();                     // content, order or filter changed; opened or closed
  void RecordChanged(sw::TField* field);  // a value of the current record changed (field may be null)
  void StateChanged();                    // browse / edit / insert / inactive
  void Scrolled();                        // another record became current

 private:
  class Link;
  std::unique_ptr<Link> link_;
};

}  // namespace sw
