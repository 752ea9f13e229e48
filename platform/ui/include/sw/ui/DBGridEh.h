#pragma once
// The data grid of the forms: a QTableView over a model of a client data set, with columns bound to fields,
// stacked titles ("|" separates the levels), clickable titles with sort markers, check-box and pick-list
// columns, ellipsis buttons, a footer row with fixed texts and sums, selected rows and a pop-up menu.
#include <QColor>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;

namespace sw {

class TDBDataSource;
class TDBGridModel;
class TDBGridFooter;

enum class TSortMarkerEh { smNone, smDown, smUp };
enum class TFooterValueType { fvtNon, fvtSum, fvtCount, fvtStaticText };
enum class TColumnButtonStyleEh { cbsNone, cbsEllipsis };

struct TColumnTitleEh {
  std::string Caption;  // "|" separates stacked title levels, top first
  TSortMarkerEh SortMarker = TSortMarkerEh::smNone;
  bool TitleButton = false;  // the title is clickable
};

struct TColumnFooterEh {
  TFooterValueType ValueType = TFooterValueType::fvtNon;
  std::string Value;          // the fixed text of fvtStaticText
  std::string DisplayFormat;  // number picture of a sum; "*" hides the sum behind a "*"
};

class TColumnEh {
 public:
  std::string FieldName;
  TColumnTitleEh Title;
  TColumnFooterEh Footer;
  int Width = 64;
  Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
  bool ReadOnly = false;
  bool Visible = true;
  QColor Color;  // invalid: the grid's own background
  // Pick list: the texts offered by the cell's drop-down list. KeyList (when not empty) holds the stored
  // value of each entry; without it the texts themselves are stored.
  std::vector<std::string> PickList;
  std::vector<std::string> KeyList;
  // Check-box column: the field holds KeyList[0] when checked and KeyList[1] when unchecked.
  bool Checkboxes = false;
  TColumnButtonStyleEh ButtonStyle = TColumnButtonStyleEh::cbsNone;
  std::function<void(TColumnEh&)> OnEditButtonClick;
  std::int64_t Tag = 0;
};

// Grid options that the forms switch.
struct TDBGridEhOptions {
  bool Flat = false;              // fixed cells drawn without the three-dimensional look
  bool AutoSortMarking = false;   // a title click moves the sort marker
  bool MultiSortMarking = false;  // Ctrl + click adds a column to the sort instead of replacing it
  bool MultiSelect = false;       // rows can be selected (Ctrl/Shift + click)
  bool ReadOnly = false;
  int FooterRowCount = 0;
};

class TDBGridEh : public QTableView {
  Q_OBJECT

 public:
  explicit TDBGridEh(QWidget* parent = nullptr, const std::string& name = {});
  ~TDBGridEh() override;

  // The data source the grid shows (not owned; the form owns it). nullptr detaches.
  void SetDataSource(TDBDataSource* source);
  TDBDataSource* DataSource() const { return source_; }

  // Columns. Adding or removing columns, or changing their field names, takes effect with ColumnsChanged (the
  // grid calls it itself for AddColumn / ClearColumns).
  TColumnEh& AddColumn(const std::string& fieldName, const std::string& title = {});
  void ClearColumns();
  std::size_t ColumnCount() const { return columns_.size(); }
  TColumnEh& Column(std::size_t index);
  const TColumnEh& Column(std::size_t index) const;
  // Case-insensitive field-name lookup; nullptr when absent.
  TColumnEh* ColumnByFieldName(const std::string& fieldName);
  void ColumnsChanged();

  TDBGridEhOptions& Options() { return options_; }
  const TDBGridEhOptions& Options() const { return options_; }
  void ApplyOptions();

  std::int64_t Tag() const { return tag_; }
  void SetTag(std::int64_t tag) { tag_ = tag; }

  QColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(const QColor& c);
  QColor FooterColor() const { return footerColor_; }
  void SetFooterColor(const QColor& c);

  // The pop-up menu shown on a right click (not owned; usually a child of the form).
  void SetPopupMenu(QMenu* menu) { popup_ = menu; }
  QMenu* PopupMenu() const { return popup_; }

  // Title click as the user does it; `addToSort` stands for Ctrl held down.
  void ClickTitle(std::size_t column, bool addToSort = false);
  // Sets the markers directly (no signal).
  void SetSortMarker(std::size_t column, TSortMarkerEh marker);

  // Texts the grid shows: a cell (display text of the field in that row) and a footer cell.
  std::string CellText(int row, std::size_t column) const;
  std::string FooterText(std::size_t column) const;
  // Number of text levels of the titles (the largest count of "|" separated parts).
  int TitleLevels() const;

  // Data rows (0-based) selected by the user, in ascending order; the current row when nothing is selected
  // in a multi-select grid is not included.
  std::vector<int> SelectedRows() const;
  void SelectRow(int row, bool add = false);
  // Makes the row current (moves the data set there).
  void SetCurrentRow(int row);
  int CurrentRow() const;

  // Orders the data set by the sort markers: an index "SortIndexEh" over every eligible column (data fields
  // that are not blobs, memos or graphics) in column order, descending where the marker is down; then moves
  // to the first record. Only for an open client data set.
  void SortByMarkers();

  // Recomputes the footer values from the data set (sums); called on data changes.
  void RefreshFooter();

  TDBGridModel* GridModel() const { return model_.get(); }

 signals:
  void SortMarkingChanged(sw::TDBGridEh* grid);
  void TitleBtnClick(sw::TDBGridEh* grid, int column);
  void EditButtonClick(sw::TDBGridEh* grid, int column);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void updateGeometries() override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  friend class TDBGridFooter;
  void LayoutFooter();
  int FooterHeight() const;
  void ApplyColumnLayout();
  void OnSectionClicked(int logical);

  std::vector<std::unique_ptr<TColumnEh>> columns_;
  TDBDataSource* source_ = nullptr;
  std::unique_ptr<TDBGridModel> model_;
  TDBGridFooter* footer_ = nullptr;  // child widget, owned by Qt
  TDBGridEhOptions options_;
  std::int64_t tag_ = 0;
  QColor fixedColor_;
  QColor footerColor_;
  QMenu* popup_ = nullptr;
  std::vector<std::string> footerTexts_;
  bool syncing_ = false;
};

}  // namespace sw
