#pragma once
// The table model behind TDBGridEh: one row per record of the data source's data set, one column per grid
// column. Texts are produced on demand (only for the rows a view paints), through the fields' get-text
// handlers, so a grid over 100,000 records costs nothing until rows are shown.
#include <QAbstractTableModel>
#include <optional>
#include <string>

namespace sw {

class TDBGridEh;
class TDBDataSource;

// Header data role under which the model gives a column's field name (for hosts that see only Qt classes).
inline constexpr int kFieldNameRole = Qt::UserRole + 1;

class TDBGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TDBGridModel(TDBGridEh& grid);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Display text of a cell: the field's text through its get-text handler; empty for a column without field.
  std::string CellText(int row, int column) const;
  // Sum of a column's field over all records; nullopt when the column has no numeric field.
  std::optional<double> ColumnSum(int column) const;
  // Record count of the data set (0 without one).
  int RecordCount() const;

  // Called when the data set's content or the columns change: the view re-reads everything.
  void Reload();
  // Called when values of the current record changed.
  void RecordChanged(int row);

 private:
  bool IsReadOnly(int column) const;
  TDBGridEh& grid_;
};

}  // namespace sw
