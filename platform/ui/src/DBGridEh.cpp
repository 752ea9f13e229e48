#include "sw/ui/DBGridEh.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <algorithm>

#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/Application.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridModel.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {

std::vector<std::string> TitleParts(const std::string& caption) {
  return Split(caption, '|');
}

// Paints stacked title levels and the sort marker; sections of columns without a title button look the same
// but do not react to clicks (the grid ignores them).
class GridHeader : public QHeaderView {
 public:
  explicit GridHeader(TDBGridEh& grid) : QHeaderView(Qt::Horizontal, &grid), grid_(grid) {
    setSectionsClickable(true);
    setHighlightSections(false);
  }

  QSize sizeHint() const override {
    QSize s = QHeaderView::sizeHint();
    s.setHeight(std::max(1, grid_.TitleLevels()) * (fontMetrics().height() + 6));
    return s;
  }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical) const override {
    if (!rect.isValid() || logical < 0 || static_cast<std::size_t>(logical) >= grid_.ColumnCount()) return;
    const TColumnEh& col = grid_.Column(static_cast<std::size_t>(logical));
    painter->save();
    painter->setClipRect(rect);
    const QColor fixed =
        grid_.FixedColor().isValid() ? grid_.FixedColor() : palette().color(QPalette::Button);
    painter->fillRect(rect, fixed);
    const auto parts = TitleParts(col.Title.Caption);
    const int levels = std::max(1, grid_.TitleLevels());
    const int bandHeight = rect.height() / levels;
    const int marker = col.Title.SortMarker == TSortMarkerEh::smNone ? 0 : 12;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const bool lowest = i + 1 == parts.size();
      // The lowest level of a title takes the remaining bands when it has fewer levels than the grid.
      const int top = rect.top() + static_cast<int>(i) * bandHeight;
      const int height = lowest ? rect.bottom() - top + 1 : bandHeight;
      QRect cell(rect.left(), top, rect.width(), height);
      if (!lowest) {
        // Neighbours sharing this level are drawn as one cell across them.
        const auto [first, last] = Group(logical, parts, i);
        const int left = rect.left() - (sectionViewportPosition(logical) - sectionViewportPosition(first));
        const int right =
            left + sectionViewportPosition(last) + sectionSize(last) - sectionViewportPosition(first);
        cell = QRect(left, top, right - left, height);
      }
      painter->setPen(palette().color(QPalette::Mid));
      painter->drawRect(cell.adjusted(0, 0, -1, -1));
      if (!grid_.Options().Flat) {
        painter->setPen(palette().color(QPalette::Light));
        painter->drawLine(cell.left() + 1, cell.top() + 1, cell.right() - 1, cell.top() + 1);
        painter->drawLine(cell.left() + 1, cell.top() + 1, cell.left() + 1, cell.bottom() - 1);
      }
      painter->setPen(palette().color(QPalette::ButtonText));
      painter->drawText(cell.adjusted(2, 0, -2 - (lowest ? marker : 0), 0), Qt::AlignCenter,
                        ui::ToQ(parts[i]));
    }
    if (marker != 0) {
      const int cx = rect.right() - 8;
      const int cy = rect.bottom() - bandHeight / 2;
      QPolygon tri;
      if (col.Title.SortMarker == TSortMarkerEh::smDown)
        tri << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
      else
        tri << QPoint(cx - 4, cy + 3) << QPoint(cx + 4, cy + 3) << QPoint(cx, cy - 2);
      painter->setBrush(palette().color(QPalette::ButtonText));
      painter->drawPolygon(tri);
    }
    painter->restore();
  }

  // The run of visible sections around `logical` whose titles have the same texts on levels 0..level (and
  // a level below it).
  std::pair<int, int> Group(int logical, const std::vector<std::string>& parts, std::size_t level) const {
    const int count = static_cast<int>(grid_.ColumnCount());
    auto same = [&](int other) {
      if (other < 0 || other >= count || isSectionHidden(other)) return false;
      const auto p = TitleParts(grid_.Column(static_cast<std::size_t>(other)).Title.Caption);
      if (p.size() <= level + 1) return false;
      for (std::size_t k = 0; k <= level; ++k)
        if (p[k] != parts[k]) return false;
      return true;
    };
    int first = logical;
    int last = logical;
    while (same(first - 1)) --first;
    while (same(last + 1)) ++last;
    return {first, last};
  }

 private:
  TDBGridEh& grid_;
};

// Editors of the cells: a drop-down list for pick-list columns, an edit with an ellipsis button for
// button columns, a plain edit otherwise. Check-box columns toggle without an editor.
class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(TDBGridEh& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    const TColumnEh& col = grid_.Column(static_cast<std::size_t>(index.column()));
    if (!col.PickList.empty()) {
      auto* combo = new QComboBox(parent);  // owned by the view's viewport
      combo->setObjectName("PickList");
      for (const auto& item : col.PickList) combo->addItem(ui::ToQ(item));
      return combo;
    }
    if (col.ButtonStyle == TColumnButtonStyleEh::cbsEllipsis) {
      auto* box = new QWidget(parent);  // owned by the view's viewport
      box->setObjectName("EllipsisEditor");
      auto* layout = new QHBoxLayout(box);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->setSpacing(0);
      auto* edit = new QLineEdit(box);
      edit->setObjectName("Edit");
      auto* button = new QToolButton(box);
      button->setObjectName("EllipsisButton");
      button->setText(QStringLiteral("…"));
      layout->addWidget(edit, 1);
      layout->addWidget(button);
      box->setFocusProxy(edit);
      TDBGridEh* grid = &grid_;
      const int column = index.column();
      QObject::connect(button, &QToolButton::clicked, grid, [grid, column] {
        TColumnEh& c = grid->Column(static_cast<std::size_t>(column));
        if (c.OnEditButtonClick) c.OnEditButtonClick(c);
        emit grid->EditButtonClick(grid, column);
      });
      return box;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      combo->setCurrentIndex(combo->findText(index.data(Qt::DisplayRole).toString()));
      return;
    }
    if (auto* edit = editor->findChild<QLineEdit*>("Edit")) {
      edit->setText(text);
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    const TColumnEh& col = grid_.Column(static_cast<std::size_t>(index.column()));
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      const int i = combo->currentIndex();
      if (i < 0) return;
      const std::string& stored = static_cast<std::size_t>(i) < col.KeyList.size()
                                      ? col.KeyList[static_cast<std::size_t>(i)]
                                      : col.PickList[static_cast<std::size_t>(i)];
      model->setData(index, ui::ToQ(stored), Qt::EditRole);
      return;
    }
    if (auto* edit = editor->findChild<QLineEdit*>("Edit")) {
      model->setData(index, edit->text(), Qt::EditRole);
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }

 private:
  TDBGridEh& grid_;
};

}  // namespace

// The footer row: one cell per column, aligned with the title sections and following horizontal scrolling.
class TDBGridFooter : public QWidget {
 public:
  explicit TDBGridFooter(TDBGridEh& grid) : QWidget(&grid), grid_(grid) { setObjectName("Footer"); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QColor back =
        grid_.FooterColor().isValid() ? grid_.FooterColor() : palette().color(QPalette::Button);
    p.fillRect(rect(), back);
    QHeaderView* header = grid_.horizontalHeader();
    const int offset = grid_.verticalHeader()->isVisible() ? grid_.verticalHeader()->width() : 0;
    p.setPen(palette().color(QPalette::ButtonText));
    for (std::size_t c = 0; c < grid_.ColumnCount(); ++c) {
      const int logical = static_cast<int>(c);
      if (header->isSectionHidden(logical)) continue;
      QRect cell(offset + header->sectionViewportPosition(logical), 0, header->sectionSize(logical),
                 height());
      p.setPen(palette().color(QPalette::Mid));
      p.drawRect(cell.adjusted(0, 0, -1, -1));
      p.setPen(palette().color(QPalette::ButtonText));
      const std::string text = grid_.FooterText(c);
      if (!text.empty()) p.drawText(cell.adjusted(3, 0, -3, 0), grid_.Column(c).Alignment, ui::ToQ(text));
    }
  }

 private:
  TDBGridEh& grid_;
};

TDBGridEh::TDBGridEh(QWidget* parent, const std::string& name) : QTableView(parent) {
  if (!name.empty()) setObjectName(ui::ToQ(name));
  model_ = std::make_unique<TDBGridModel>(*this);
  setHorizontalHeader(new GridHeader(*this));  // the view takes ownership
  setModel(model_.get());
  setItemDelegate(new GridDelegate(*this));  // child of the grid
  verticalHeader()->setVisible(true);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setWordWrap(false);
  footer_ = new TDBGridFooter(*this);  // child of the grid
  footer_->hide();
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGridEh::OnSectionClicked);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
    if (!syncing_ && logical >= 0 && static_cast<std::size_t>(logical) < columns_.size())
      columns_[static_cast<std::size_t>(logical)]->Width = size;
    footer_->update();
  });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, footer_, qOverload<>(&QWidget::update));
}

TDBGridEh::~TDBGridEh() {
  // The view must let go of the model before the model goes.
  setModel(nullptr);
}

void TDBGridEh::SetDataSource(TDBDataSource* source) {
  if (source_ == source) return;
  if (source_ != nullptr) disconnect(source_, nullptr, this, nullptr);
  source_ = source;
  if (source_ != nullptr) {
    for (auto signal : {&TDBDataSource::DataChanged, &TDBDataSource::DataSetReplaced})
      connect(source_, signal, this, [this] {
        model_->Reload();
        RefreshFooter();
      });
    connect(source_, &TDBDataSource::RecordChanged, this, [this] {
      model_->RecordChanged(model_->RecordCount() > 0 ? source_->RecNo() : -1);
      RefreshFooter();
    });
    connect(source_, &TDBDataSource::Scrolled, this, [this] {
      if (syncing_) return;
      const int row = source_->RecNo();
      if (row >= 0 && row < model_->rowCount()) {
        syncing_ = true;
        setCurrentIndex(model_->index(row, std::max(0, currentIndex().column())));
        syncing_ = false;
      }
    });
    connect(source_, &QObject::destroyed, this, [this] {
      source_ = nullptr;
      model_->Reload();
      RefreshFooter();
    });
  }
  model_->Reload();
  ApplyColumnLayout();
  RefreshFooter();
}

TColumnEh& TDBGridEh::AddColumn(const std::string& fieldName, const std::string& title) {
  auto col = std::make_unique<TColumnEh>();
  col->FieldName = fieldName;
  col->Title.Caption = title.empty() ? fieldName : title;
  columns_.push_back(std::move(col));
  ColumnsChanged();
  return *columns_.back();
}

void TDBGridEh::ClearColumns() {
  columns_.clear();
  ColumnsChanged();
}

TColumnEh& TDBGridEh::Column(std::size_t index) {
  if (index >= columns_.size())
    throw Error("Grid column index " + IntToStr(static_cast<std::int64_t>(index)) + " is out of range");
  return *columns_[index];
}

const TColumnEh& TDBGridEh::Column(std::size_t index) const {
  return const_cast<TDBGridEh*>(this)->Column(index);
}

TColumnEh* TDBGridEh::ColumnByFieldName(const std::string& fieldName) {
  for (auto& c : columns_)
    if (SameText(c->FieldName, fieldName)) return c.get();
  return nullptr;
}

void TDBGridEh::ColumnsChanged() {
  model_->Reload();
  ApplyColumnLayout();
  RefreshFooter();
}

void TDBGridEh::ApplyColumnLayout() {
  syncing_ = true;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const int logical = static_cast<int>(i);
    horizontalHeader()->resizeSection(logical, columns_[i]->Width);
    setColumnHidden(logical, !columns_[i]->Visible);
  }
  syncing_ = false;
  horizontalHeader()->updateGeometry();
  updateGeometries();
  viewport()->update();
}

void TDBGridEh::ApplyOptions() {
  setSelectionMode(options_.MultiSelect ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
  setEditTriggers(options_.ReadOnly ? QAbstractItemView::NoEditTriggers
                                    : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                          QAbstractItemView::AnyKeyPressed);
  LayoutFooter();
  horizontalHeader()->viewport()->update();
}

void TDBGridEh::SetFixedColor(const QColor& c) {
  fixedColor_ = c;
  horizontalHeader()->viewport()->update();
}

void TDBGridEh::SetFooterColor(const QColor& c) {
  footerColor_ = c;
  footer_->update();
}

void TDBGridEh::OnSectionClicked(int logical) {
  if (logical < 0 || static_cast<std::size_t>(logical) >= columns_.size()) return;
  const bool ctrl = QApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
  ClickTitle(static_cast<std::size_t>(logical), ctrl);
}

void TDBGridEh::ClickTitle(std::size_t column, bool addToSort) {
  TColumnEh& col = Column(column);
  if (!col.Title.TitleButton) return;
  if (options_.AutoSortMarking) {
    const TSortMarkerEh next =
        col.Title.SortMarker == TSortMarkerEh::smDown ? TSortMarkerEh::smUp : TSortMarkerEh::smDown;
    if (!(addToSort && options_.MultiSortMarking))
      for (auto& c : columns_) c->Title.SortMarker = TSortMarkerEh::smNone;
    col.Title.SortMarker = next;
    horizontalHeader()->viewport()->update();
    emit SortMarkingChanged(this);
  }
  emit TitleBtnClick(this, static_cast<int>(column));
}

void TDBGridEh::SetSortMarker(std::size_t column, TSortMarkerEh marker) {
  Column(column).Title.SortMarker = marker;
  horizontalHeader()->viewport()->update();
}

std::string TDBGridEh::CellText(int row, std::size_t column) const {
  return model_->CellText(row, static_cast<int>(column));
}

std::string TDBGridEh::FooterText(std::size_t column) const {
  return column < footerTexts_.size() ? footerTexts_[column] : std::string();
}

int TDBGridEh::TitleLevels() const {
  int levels = 1;
  for (const auto& c : columns_)
    levels = std::max(levels, static_cast<int>(TitleParts(c->Title.Caption).size()));
  return levels;
}

std::vector<int> TDBGridEh::SelectedRows() const {
  std::vector<int> rows;
  if (selectionModel() == nullptr) return rows;
  for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TDBGridEh::SelectRow(int row, bool add) {
  if (row < 0 || row >= model_->rowCount()) throw Error("Grid row " + IntToStr(row) + " does not exist");
  auto flags = QItemSelectionModel::Rows | QItemSelectionModel::Select;
  if (!add || !options_.MultiSelect) flags |= QItemSelectionModel::Clear;
  selectionModel()->select(model_->index(row, 0), flags);
  SetCurrentRow(row);
}

void TDBGridEh::SetCurrentRow(int row) {
  if (row < 0 || row >= model_->rowCount()) throw Error("Grid row " + IntToStr(row) + " does not exist");
  selectionModel()->setCurrentIndex(model_->index(row, std::max(0, currentIndex().column())),
                                    options_.MultiSelect
                                        ? QItemSelectionModel::NoUpdate
                                        : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TDBGridEh::CurrentRow() const {
  if (source_ != nullptr && model_->RecordCount() > 0) return source_->RecNo();
  return currentIndex().isValid() ? currentIndex().row() : -1;
}

void TDBGridEh::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (syncing_ || source_ == nullptr || !current.isValid()) return;
  if (current.row() != source_->RecNo()) {
    syncing_ = true;
    try {
      source_->MoveTo(current.row());  // may post a pending edit, which may be refused
    } catch (...) {
      TApplication::HandleException();
    }
    syncing_ = false;
  }
}

void TDBGridEh::SortByMarkers() {
  TClientDataSet* ds = source_ != nullptr ? source_->OpenDataSet() : nullptr;
  if (ds == nullptr) return;
  std::string fields;
  std::string desc;
  for (const auto& c : columns_) {
    const TField* f = ds->FindField(c->FieldName);
    if (f == nullptr || f->IsBlob() || f->FieldKind() != TFieldKind::fkData) continue;
    fields += c->FieldName + ";";
    if (c->Title.SortMarker == TSortMarkerEh::smDown) desc += c->FieldName + ";";
  }
  if (!fields.empty()) fields.pop_back();
  if (!desc.empty()) desc.pop_back();
  ds->UpdateIndexDefs();
  if (ds->IndexDefs().Find("SortIndexEh") != nullptr) ds->DeleteIndex("SortIndexEh");
  if (fields.empty()) return;
  ds->AddIndex("SortIndexEh", fields, 0, desc, "", 0);
  ds->SetIndexName("SortIndexEh");
  ds->UpdateIndexDefs();
  ds->First();
}

void TDBGridEh::RefreshFooter() {
  footerTexts_.assign(columns_.size(), std::string());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const TColumnFooterEh& f = columns_[i]->Footer;
    switch (f.ValueType) {
      case TFooterValueType::fvtNon:
        break;
      case TFooterValueType::fvtStaticText:
        footerTexts_[i] = f.Value;
        break;
      case TFooterValueType::fvtCount:
        footerTexts_[i] = IntToStr(model_->RecordCount());
        break;
      case TFooterValueType::fvtSum: {
        if (f.DisplayFormat == "*") {
          footerTexts_[i] = "*";  // the sum is hidden from this user
          break;
        }
        const auto sum = model_->ColumnSum(static_cast<int>(i));
        if (!sum) break;
        footerTexts_[i] = f.DisplayFormat.empty() ? FloatToStr(*sum) : FormatFloat(f.DisplayFormat, *sum);
        break;
      }
    }
  }
  footer_->update();
}

int TDBGridEh::FooterHeight() const {
  return options_.FooterRowCount > 0 ? options_.FooterRowCount * (fontMetrics().height() + 6) : 0;
}

void TDBGridEh::LayoutFooter() {
  footer_->setVisible(FooterHeight() > 0);
  updateGeometries();
}

void TDBGridEh::updateGeometries() {
  QTableView::updateGeometries();
  const int h = FooterHeight();
  if (h <= 0) return;
  // The footer row sits below the cells, above the horizontal scroll bar.
  QMargins m = viewportMargins();
  if (m.bottom() != h) {
    m.setBottom(h);
    setViewportMargins(m);
  }
  const QRect vp = viewport()->geometry();
  QHeaderView* vh = verticalHeader();
  if (vh->isVisible()) vh->setGeometry(vp.left() - vh->width(), vp.top(), vh->width(), vp.height());
  footer_->setGeometry(frameWidth(), vp.bottom() + 1, width() - 2 * frameWidth(), h);
  footer_->raise();
}

void TDBGridEh::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  LayoutFooter();
}

void TDBGridEh::contextMenuEvent(QContextMenuEvent* event) {
  if (popup_ == nullptr) return QTableView::contextMenuEvent(event);
  popup_->popup(event->globalPos());
}

}  // namespace sw
