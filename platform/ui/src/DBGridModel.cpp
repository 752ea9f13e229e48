#include "sw/ui/DBGridModel.h"

#include <QBrush>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/Application.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {

// Field reads go to record `recNo` while this lives; the cursor, hooks and observers are left alone.
class AtRecord {
 public:
  AtRecord(TClientDataSet& ds, int recNo) : ds_(ds) { ds_.BeginDisplayRecord(recNo); }
  ~AtRecord() { ds_.EndDisplayRecord(); }
  AtRecord(const AtRecord&) = delete;
  AtRecord& operator=(const AtRecord&) = delete;

 private:
  TClientDataSet& ds_;
};

bool IsChecked(const TColumnEh& col, const std::string& value) {
  return !col.KeyList.empty() ? value == col.KeyList[0] : (value == "1" || SameText(value, "true"));
}

}  // namespace

TDBGridModel::TDBGridModel(TDBGridEh& grid) : grid_(grid) {}

int TDBGridModel::RecordCount() const {
  TDBDataSource* src = grid_.DataSource();
  return src != nullptr ? src->RecordCount() : 0;
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RecordCount();
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.ColumnCount());
}

std::string TDBGridModel::CellText(int row, int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= grid_.ColumnCount())
    throw Error("Grid column " + IntToStr(column) + " does not exist");
  if (row < 0 || row >= RecordCount()) throw Error("Grid row " + IntToStr(row) + " does not exist");
  TField* field = grid_.DataSource()->FindField(grid_.Column(static_cast<std::size_t>(column)).FieldName);
  if (field == nullptr) return {};
  AtRecord at(field->DataSet(), row + 1);
  return field->DisplayText();
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= RecordCount() ||
      static_cast<std::size_t>(index.column()) >= grid_.ColumnCount())
    return {};
  const TColumnEh& col = grid_.Column(static_cast<std::size_t>(index.column()));
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::CheckStateRole: {
      TField* field = grid_.DataSource()->FindField(col.FieldName);
      if (field == nullptr) return {};
      AtRecord at(field->DataSet(), index.row() + 1);
      if (col.Checkboxes) {
        if (role != Qt::CheckStateRole) return {};
        return IsChecked(col, field->AsString()) ? Qt::Checked : Qt::Unchecked;
      }
      if (role == Qt::CheckStateRole) return {};
      if (role == Qt::EditRole) return ui::ToQ(field->Text());
      std::string text = field->DisplayText();
      // A pick list with stored keys shows the entry text of the stored value.
      if (!col.KeyList.empty() && !col.PickList.empty()) {
        for (std::size_t i = 0; i < col.KeyList.size() && i < col.PickList.size(); ++i)
          if (col.KeyList[i] == text) return ui::ToQ(col.PickList[i]);
      }
      return ui::ToQ(text);
    }
    case Qt::TextAlignmentRole:
      return static_cast<int>(col.Alignment);
    case Qt::BackgroundRole:
      return col.Color.isValid() ? QVariant(QBrush(col.Color)) : QVariant();
    default:
      return {};
  }
}

bool TDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || IsReadOnly(index.column())) return false;
  const TColumnEh& col = grid_.Column(static_cast<std::size_t>(index.column()));
  TField* field = grid_.DataSource()->FindField(col.FieldName);
  if (field == nullptr) return false;
  TClientDataSet& ds = field->DataSet();
  try {
    if (index.row() != grid_.DataSource()->RecNo()) grid_.DataSource()->MoveTo(index.row());
  } catch (...) {
    TApplication::HandleException();
    return false;
  }
  std::string text;
  if (role == Qt::CheckStateRole && col.Checkboxes) {
    const bool checked = value.toInt() == Qt::Checked;
    text = col.KeyList.size() >= 2 ? col.KeyList[checked ? 0 : 1] : std::string(checked ? "1" : "0");
  } else if (role == Qt::EditRole) {
    text = ui::FromQ(value.toString());
  } else {
    return false;
  }
  try {
    if (ds.State() == TDataSetState::dsBrowse) ds.Edit();
    field->SetText(text);
  } catch (...) {
    TApplication::HandleException();
    return false;
  }
  emit dataChanged(index, index);
  return true;
}

bool TDBGridModel::IsReadOnly(int column) const {
  if (grid_.Options().ReadOnly || column < 0 || static_cast<std::size_t>(column) >= grid_.ColumnCount())
    return true;
  const TColumnEh& col = grid_.Column(static_cast<std::size_t>(column));
  if (col.ReadOnly || grid_.DataSource() == nullptr) return true;
  TField* field = grid_.DataSource()->FindField(col.FieldName);
  return field == nullptr || field->ReadOnly();
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const bool readOnly = IsReadOnly(index.column());
  if (grid_.Column(static_cast<std::size_t>(index.column())).Checkboxes) {
    if (!readOnly) f |= Qt::ItemIsUserCheckable;
  } else if (!readOnly) {
    f |= Qt::ItemIsEditable;
  }
  return f;
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= grid_.ColumnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  const TColumnEh& col = grid_.Column(static_cast<std::size_t>(section));
  if (role == Qt::DisplayRole) return ui::ToQ(col.Title.Caption);
  if (role == kFieldNameRole) return ui::ToQ(col.FieldName);
  return {};
}

std::optional<double> TDBGridModel::ColumnSum(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= grid_.ColumnCount() || grid_.DataSource() == nullptr)
    return std::nullopt;
  TField* field = grid_.DataSource()->FindField(grid_.Column(static_cast<std::size_t>(column)).FieldName);
  if (field == nullptr || !IsNumericFieldType(field->DataType())) return std::nullopt;
  double sum = 0;
  const int n = RecordCount();
  for (int r = 1; r <= n; ++r) {
    AtRecord at(field->DataSet(), r);
    if (!field->IsNull()) sum += field->AsFloat();
  }
  return sum;
}

void TDBGridModel::Reload() {
  beginResetModel();
  endResetModel();
}

void TDBGridModel::RecordChanged(int row) {
  if (row < 0 || row >= rowCount() || columnCount() == 0) return;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

}  // namespace sw
