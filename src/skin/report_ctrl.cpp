#include "skin/report_ctrl.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWheelEvent>
#include <algorithm>
#include <numeric>

namespace keyloom::skin {

namespace {

Qt::Alignment ToQt(CReportCtrl::Align a) {
  switch (a) {
    case CReportCtrl::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case CReportCtrl::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// The leading integer of a text, as the C library reads one (0 without
// digits).
int LeadingInt(const QString& s) {
  int i = 0;
  while (i < s.size() && s[i].isSpace()) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  long long v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = std::min<long long>(v * 10 + (s[i].unicode() - u'0'), INT32_MAX);
  }
  return static_cast<int>(negative ? -v : v);
}

// The in-place editor stands out from the cell it covers: the list's
// background and text with a frame in the highlight colour.
// (the drop-down's list likewise).
QString EditorStyle(const QPalette& pal, const QString& type) {
  const QString colours = QStringLiteral("background:%1;color:%2;selection-background-color:%3;selection-color:%4;")
                              .arg(pal.color(QPalette::Base).name(), pal.color(QPalette::Text).name(),
                                   pal.color(QPalette::Highlight).name(), pal.color(QPalette::HighlightedText).name());
  const QString frame = QStringLiteral("border:1px solid %1;").arg(pal.color(QPalette::Highlight).name());
  return QStringLiteral("%1{%2%3padding:0px 2px;} %1 QAbstractItemView{%2%3outline:0px;}").arg(type, colours, frame);
}

// Sets an int to 1 for the lifetime of the guard (guards nest).
class InternalChange {
 public:
  explicit InternalChange(int* flag) : flag_(flag), old_(flag ? *flag : 0) {
    if (flag_) *flag_ = 1;
  }
  ~InternalChange() {
    if (flag_) *flag_ = old_;
  }
  InternalChange(const InternalChange&) = delete;
  InternalChange& operator=(const InternalChange&) = delete;

 private:
  int* flag_;
  int old_;
};

}  // namespace

// The rows and columns behind the view. Each row record holds the texts,
// per-column text and background colours (invalid: the palette's), the
// caller's data value and the check; selection and focus live in the
// view's selection model, which follows rows through moves and sorts.
class ReportRows : public QAbstractTableModel {
 public:
  struct Row {
    std::vector<QString> texts;
    std::vector<QColor> text_colours;
    std::vector<QColor> backgrounds;
    std::uintptr_t data = 0;
    bool checked = false;
  };
  struct Column {
    QString title;
    CReportCtrl::Align align = CReportCtrl::kLeft;
  };

  explicit ReportRows(QObject* parent) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const Row& r = rows[static_cast<std::size_t>(index.row())];
    const auto c = static_cast<std::size_t>(index.column());
    switch (role) {
      case Qt::DisplayRole:
        return r.texts[c];
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(ToQt(columns[c].align));
      case Qt::ForegroundRole:
        return r.text_colours[c].isValid() ? QVariant(r.text_colours[c]) : QVariant();
      case Qt::BackgroundRole:
        return r.backgrounds[c].isValid() ? QVariant(r.backgrounds[c]) : QVariant();
      case Qt::CheckStateRole:
        if (show_checks && c == 0) return r.checked ? Qt::Checked : Qt::Unchecked;
        return {};
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return columns[static_cast<std::size_t>(section)].title;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ToQt(columns[static_cast<std::size_t>(section)].align));
    return {};
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    // Not user-checkable: the control turns clicks on check boxes into
    // check changes itself, with its styles.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

  std::size_t Slots() const { return std::max<std::size_t>(columns.size(), 1); }

  Row NewRow(const QString& text) const {
    Row r;
    r.texts.resize(Slots());
    r.text_colours.resize(Slots());
    r.backgrounds.resize(Slots());
    r.texts[0] = text;
    return r;
  }

  void InsertRow(int at, Row row) {
    beginInsertRows({}, at, at);
    rows.insert(rows.begin() + at, std::move(row));
    endInsertRows();
  }

  void RemoveRow(int at) {
    beginRemoveRows({}, at, at);
    rows.erase(rows.begin() + at);
    endRemoveRows();
  }

  void InsertColumn(int at, Column column) {
    const bool first = columns.empty();
    beginInsertColumns({}, at, at);
    columns.insert(columns.begin() + at, std::move(column));
    if (!first) {
      // A list without columns keeps one text slot per row; it becomes the
      // first column's.
      for (Row& r : rows) {
        r.texts.insert(r.texts.begin() + at, QString());
        r.text_colours.insert(r.text_colours.begin() + at, QColor());
        r.backgrounds.insert(r.backgrounds.begin() + at, QColor());
      }
    }
    endInsertColumns();
  }

  void Clear() {
    beginResetModel();
    rows.clear();
    columns.clear();
    endResetModel();
  }

  void ClearRows() {
    beginResetModel();
    rows.clear();
    endResetModel();
  }

  void Move(int from, int to) {
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    if (to > from) {
      std::rotate(rows.begin() + from, rows.begin() + from + 1, rows.begin() + to + 1);
    } else {
      std::rotate(rows.begin() + to, rows.begin() + from, rows.begin() + from + 1);
    }
    endMoveRows();
  }

  // Sorts the rows by one column's text (code-unit order), keeping rows
  // with equal texts in their order; selection and focus follow the rows.
  void SortBy(int column, bool ascending) {
    const auto c = static_cast<std::size_t>(column);
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      const int cmp = QString::compare(rows[static_cast<std::size_t>(a)].texts[c], rows[static_cast<std::size_t>(b)].texts[c]);
      return ascending ? cmp < 0 : cmp > 0;
    });
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> new_position(rows.size());
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      new_position[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
      sorted.push_back(std::move(rows[static_cast<std::size_t>(order[i])]));
    }
    rows = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) {
      to.push_back(index(new_position[static_cast<std::size_t>(i.row())], i.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  }

  void RowsChanged(int first, int last, int first_column, int last_column) {
    if (first > last || first_column > last_column) return;
    emit dataChanged(index(first, first_column), index(last, last_column));
  }

  void ShowChecks(bool on) {
    show_checks = on;
    if (!rows.empty() && !columns.empty()) RowsChanged(0, rowCount() - 1, 0, 0);
  }

  std::vector<Row> rows;
  std::vector<Column> columns;
  bool show_checks = false;
};

namespace {

// Draws the cells as the style does, but the check boxes itself: a framed
// box, filled with the highlight colour and ticked when checked, that shows
// on dark and on highlighted rows alike.
class ReportItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant check = index.data(Qt::CheckStateRole);
    if (!check.isValid()) return;
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget);
    const int side = std::min(area.width(), area.height());
    if (side <= 2) return;
    const QRectF box(area.x() + (area.width() - side) / 2.0 + 0.5, area.y() + (area.height() - side) / 2.0 + 0.5,
                     side - 1.0, side - 1.0);
    const bool checked = check.toInt() == Qt::Checked;
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette& pal = opt.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    // Cover whatever the style drew there.
    painter->fillRect(area, opt.backgroundBrush.style() != Qt::NoBrush && !selected
                                ? opt.backgroundBrush
                                : pal.brush(selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(QPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::PlaceholderText), 1.0));
    painter->setBrush(checked ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    painter->drawRoundedRect(box, side / 6.0, side / 6.0);
    if (checked) {
      QPainterPath tick;
      tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
      tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.72);
      tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.28);
      painter->setPen(QPen(pal.color(QPalette::HighlightedText), std::max(1.5, side / 7.0), Qt::SolidLine, Qt::RoundCap,
                           Qt::RoundJoin));
      painter->setBrush(Qt::NoBrush);
      painter->drawPath(tick);
    }
    painter->restore();
  }
};

}  // namespace

CReportCtrl::CReportCtrl(QWidget* parent) : QTableView(parent), rows_(new ReportRows(this)) {
  setModel(rows_);
  setItemDelegate(new ReportItemDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  verticalHeader()->setMinimumSectionSize(1);
  QHeaderView* header = horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(true);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSortIndicatorShown(false);
  connect(header, &QHeaderView::sectionClicked, this, &CReportCtrl::SortByColumn);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &CReportCtrl::OnVerticalScrollAction);
  // A resized column keeps the editor over its cell.
  connect(header, &QHeaderView::sectionResized, this, [this] {
    if (QWidget* editor = EditorWidget()) editor->setGeometry(visualRect(rows_->index(edit_row_, edit_column_)));
  });
}

CReportCtrl::~CReportCtrl() {
  // No hook may run on a half-destroyed control.
  end_edit_ = nullptr;
  validator_ = nullptr;
  if (line_edit_) line_edit_->removeEventFilter(this);
  if (combo_) combo_->removeEventFilter(this);
}

bool CReportCtrl::ValidRow(int row) const { return row >= 0 && row < rows_->rowCount(); }
bool CReportCtrl::ValidColumn(int column) const { return column >= 0 && column < rows_->columnCount(); }

// ---- columns ----

int CReportCtrl::InsertColumn(int index, const QString& title, Align format, int width) {
  EndEdit(true);
  index = std::clamp(index, 0, rows_->columnCount());
  rows_->InsertColumn(index, {title, format});
  horizontalHeader()->resizeSection(index, std::max(width, 0));
  return index;
}

int CReportCtrl::GetColumnCount() const { return rows_->columnCount(); }

bool CReportCtrl::SetColumnHeader(const QString& layout) {
  EndEdit(false);
  ForgetSortColumn();
  rows_->Clear();
  int inserted = 0;
  for (const QString& entry : layout.split(u';', Qt::SkipEmptyParts)) {
    const QStringList fields = entry.split(u',');
    const int width = fields.size() > 1 && !fields[1].trimmed().isEmpty() ? LeadingInt(fields[1]) : 100;
    const int code = fields.size() > 2 ? LeadingInt(fields[2]) : 0;
    const Align align = code == 1 ? kCentre : code == 2 ? kRight : kLeft;
    InsertColumn(GetColumnCount(), fields[0], align, width);
    ++inserted;
  }
  return inserted > 0;
}

// ---- rows ----

int CReportCtrl::InsertItem(int index, const QString& text) {
  EndEdit(true);
  if (index < 0) return -1;
  index = std::min(index, rows_->rowCount());
  ForgetSortColumn();
  rows_->InsertRow(index, rows_->NewRow(text));
  return index;
}

bool CReportCtrl::DeleteItem(int row, bool select_neighbour) {
  if (!ValidRow(row)) return false;
  if (edit_row_ >= 0) EndEdit(edit_row_ != row);
  if (!ValidRow(row)) return false;
  rows_->RemoveRow(row);
  const int count = rows_->rowCount();
  if (select_neighbour && count > 0) {
    const int neighbour = row < count ? row : count - 1;
    InternalChange guard(internal_change_);
    SetSelected(neighbour, true);
    SetFocused(neighbour, true);
  }
  return true;
}

int CReportCtrl::DeleteAllItems(unsigned test) {
  EndEdit(false);
  if (test == kAny) {
    const int count = rows_->rowCount();
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    rows_->ClearRows();
    setUpdatesEnabled(updates);
    return count;
  }
  int deleted = 0;
  for (int row = rows_->rowCount() - 1; row >= 0; --row) {
    if (ReportStatesMatch(GetItemStates(row), test)) {
      rows_->RemoveRow(row);
      ++deleted;
    }
  }
  return deleted;
}

bool CReportCtrl::SetItemText(int row, int column, const QString& text) {
  EndEdit(true);
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  ForgetSortColumn();
  rows_->rows[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
  rows_->RowsChanged(row, row, column, column);
  return true;
}

QString CReportCtrl::GetItemText(int row, int column) const {
  if (!ValidRow(row) || !ValidColumn(column)) return {};
  return rows_->rows[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

int CReportCtrl::GetItemCount(unsigned test) const {
  if (test == kAny) return rows_->rowCount();
  int n = 0;
  for (int row = 0; row < rows_->rowCount(); ++row) n += ReportStatesMatch(GetItemStates(row), test) ? 1 : 0;
  return n;
}

int CReportCtrl::GetNextItem(unsigned test, int start) const {
  for (int row = std::max(start + 1, 0); row < rows_->rowCount(); ++row) {
    if (ReportStatesMatch(GetItemStates(row), test)) return row;
  }
  return -1;
}

bool CReportCtrl::SetItemData(int row, std::uintptr_t data) {
  if (!ValidRow(row)) return false;
  rows_->rows[static_cast<std::size_t>(row)].data = data;
  return true;
}

std::uintptr_t CReportCtrl::GetItemData(int row) const {
  return ValidRow(row) ? rows_->rows[static_cast<std::size_t>(row)].data : 0;
}

// ---- states ----

unsigned CReportCtrl::GetItemStates(int row) const {
  if (!ValidRow(row)) return 0;
  const bool selected = selectionModel()->isRowSelected(row, {});
  const bool focused = selectionModel()->currentIndex().isValid() && selectionModel()->currentIndex().row() == row;
  const bool checked = rows_->rows[static_cast<std::size_t>(row)].checked;
  return (selected ? kSelect : kUnselect) | (checked ? kCheck : kUncheck) | (focused ? kFocus : kUnfocus);
}

void CReportCtrl::SetSelected(int row, bool on) {
  if (!ValidColumn(0)) return;
  selectionModel()->select(rows_->index(row, 0),
                           (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

void CReportCtrl::SetFocused(int row, bool on) {
  QItemSelectionModel* sm = selectionModel();
  if (on) {
    if (!ValidColumn(0)) return;
    const int column = std::clamp(sm->currentIndex().column(), 0, rows_->columnCount() - 1);
    sm->setCurrentIndex(rows_->index(row, column), QItemSelectionModel::NoUpdate);
  } else if (sm->currentIndex().isValid() && sm->currentIndex().row() == row) {
    sm->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
  }
}

void CReportCtrl::SelectOnly(int row) {
  if (!ValidColumn(0)) return;
  InternalChange guard(internal_change_);
  const QModelIndex index = rows_->index(row, std::clamp(currentIndex().column(), 0, rows_->columnCount() - 1));
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CReportCtrl::SetChecked(int row, bool on, bool notify) {
  if (checkbox_style_ == kSingleCheck && on) {
    for (int other = 0; other < rows_->rowCount(); ++other) {
      auto& r = rows_->rows[static_cast<std::size_t>(other)];
      if (other != row && r.checked) {
        r.checked = false;
        rows_->RowsChanged(other, other, 0, 0);
      }
    }
  }
  auto& r = rows_->rows[static_cast<std::size_t>(row)];
  if (r.checked == on) return;
  r.checked = on;
  rows_->RowsChanged(row, row, 0, 0);
  if (notify && check_change_) check_change_(row, *this);
}

bool CReportCtrl::SetItemStates(int row, unsigned flags) {
  if (!ValidRow(row)) return false;
  if (flags & kSelect) SetSelected(row, true);
  if (flags & kUnselect) SetSelected(row, false);
  if (flags & kCheck) SetChecked(row, true, true);
  if (ValidRow(row) && (flags & kUncheck)) SetChecked(row, false, true);
  if (!ValidRow(row)) return false;  // the callback may have deleted it
  if (flags & kFocus) SetFocused(row, true);
  if (flags & kUnfocus) SetFocused(row, false);
  return true;
}

int CReportCtrl::SetAllItemStates(unsigned test, unsigned flags) {
  // Rows are tested before any is changed, so that changing one (a single
  // check) does not decide which others match.
  std::vector<int> matching;
  for (int row = 0; row < rows_->rowCount(); ++row) {
    if (ReportStatesMatch(GetItemStates(row), test)) matching.push_back(row);
  }
  int n = 0;
  for (int row : matching) n += SetItemStates(row, flags) ? 1 : 0;
  return n;
}

void CReportCtrl::SetCheckboxStyle(int style) {
  if (style < kNoCheckboxes || style > kFixedCheck) return;
  checkbox_style_ = style;
  if (style == kSingleCheck) {
    for (auto& r : rows_->rows) r.checked = false;
  }
  rows_->ShowChecks(style != kNoCheckboxes);
  checkboxes_shown_ = style != kNoCheckboxes;
}

QRect CReportCtrl::CheckboxRect(int row) const {
  if (!checkboxes_shown_ || !ValidRow(row) || !ValidColumn(0)) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(rows_->index(row, 0));
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  option.checkState = rows_->rows[static_cast<std::size_t>(row)].checked ? Qt::Checked : Qt::Unchecked;
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

// ---- appearance ----

namespace {

template <typename Set>
void ForCells(ReportRows& rows, int row, int column, Set set) {
  const int row_count = rows.rowCount(), column_count = rows.columnCount();
  const bool all_rows = row < 0 || row >= row_count, all_columns = column < 0 || column >= column_count;
  const int r0 = all_rows ? 0 : row, r1 = all_rows ? row_count - 1 : row;
  const int c0 = all_columns ? 0 : column, c1 = all_columns ? column_count - 1 : column;
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) set(rows.rows[static_cast<std::size_t>(r)], static_cast<std::size_t>(c));
  }
}

}  // namespace

void CReportCtrl::SetCellColor(int row, int column, const QColor& background, bool redraw) {
  ForCells(*rows_, row, column, [&](ReportRows::Row& r, std::size_t c) { r.backgrounds[c] = background; });
  if (redraw) viewport()->update();
}

void CReportCtrl::SetCellTextColor(int row, int column, const QColor& text, bool redraw) {
  ForCells(*rows_, row, column, [&](ReportRows::Row& r, std::size_t c) { r.text_colours[c] = text; });
  if (redraw) viewport()->update();
}

QColor CReportCtrl::GetCellColor(int row, int column) const {
  if (!ValidRow(row) || !ValidColumn(column)) return {};
  return rows_->rows[static_cast<std::size_t>(row)].backgrounds[static_cast<std::size_t>(column)];
}

QColor CReportCtrl::GetCellTextColor(int row, int column) const {
  if (!ValidRow(row) || !ValidColumn(column)) return {};
  return rows_->rows[static_cast<std::size_t>(row)].text_colours[static_cast<std::size_t>(column)];
}

// ---- moves ----

int CReportCtrl::MoveItem(int row, int position) {
  if (!ValidRow(row)) return -1;
  position = ClampReportPosition(position, rows_->rowCount());
  if (position == row) return row;
  EndEdit(true);
  if (!ValidRow(row)) return -1;
  position = ClampReportPosition(position, rows_->rowCount());
  if (position != row) rows_->Move(row, position);
  return position;
}

void CReportCtrl::EnsureVisible(int row) {
  if (ValidRow(row) && ValidColumn(0)) scrollTo(rows_->index(row, 0));
}

// ---- sorting ----

void CReportCtrl::SortByColumn(int column) {
  if (!sortable_ || !ValidColumn(column)) return;
  EndEdit(true);
  if (before_sort_) before_sort_(column);
  if (!ValidColumn(column)) return;
  sort_ascending_ = column != sort_column_ ? true : !sort_ascending_;
  sort_column_ = column;
  rows_->SortBy(column, sort_ascending_);
  horizontalHeader()->setSortIndicator(column, sort_ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  horizontalHeader()->setSortIndicatorShown(true);
  if (after_sort_) after_sort_(column);
}

void CReportCtrl::ForgetSortColumn() {
  if (sort_column_ < 0) return;
  sort_column_ = -1;
  horizontalHeader()->setSortIndicatorShown(false);
}

// ---- clicks ----

void CReportCtrl::mousePressEvent(QMouseEvent* event) { HandleClick(event, false); }
void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event) { HandleClick(event, true); }

void CReportCtrl::HandleClick(QMouseEvent* event, bool double_click) {
  const QPoint pos = event->position().toPoint();
  const QModelIndex hit = indexAt(pos);
  const int row = hit.isValid() ? hit.row() : -1;
  const int column = hit.isValid() ? hit.column() : -1;
  const bool left = event->button() == Qt::LeftButton;
  const bool on_checkbox = left && row >= 0 && column == 0 && CheckboxRect(row).contains(pos);
  const bool was_checked = row >= 0 && rows_->rows[static_cast<std::size_t>(row)].checked;
  EndEdit(true);
  // The end of the edit may have changed the rows (a hook, a validator).
  if (row >= rows_->rowCount()) return;
  const bool was_active = left && row >= 0 && (GetItemStates(row) & (kSelect | kFocus)) == (kSelect | kFocus);

  if (double_click) {
    QTableView::mouseDoubleClickEvent(event);
  } else {
    QTableView::mousePressEvent(event);
  }
  if (row < 0 || row >= rows_->rowCount()) return;

  bool check_changed = false;
  if (on_checkbox && checkboxes_shown_ && checkbox_style_ != kNoCheckboxes) {
    if (checkbox_style_ == kFixedCheck) return;  // the check stays as it was
    SetChecked(row, !was_checked, true);
    check_changed = true;
    if (!ValidRow(row)) return;
    SelectOnly(row);
    emit CheckClicked(row, event->button(), double_click);
  }
  if (left && editable_ && !check_changed && was_active && ValidRow(row)) StartEdit(row, column);
}

void CReportCtrl::keyPressEvent(QKeyEvent* event) {
  const int row = currentIndex().isValid() ? currentIndex().row() : -1;
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && checkboxes_shown_ && ValidRow(row)) {
    if (checkbox_style_ != kFixedCheck) SetChecked(row, !rows_->rows[static_cast<std::size_t>(row)].checked, true);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void CReportCtrl::wheelEvent(QWheelEvent* event) {
  if (edit_row_ >= 0) {
    // Scrolling while editing cancels the edit instead.
    EndEdit(false);
    event->accept();
    return;
  }
  QTableView::wheelEvent(event);
}

void CReportCtrl::OnVerticalScrollAction(int action) {
  if (edit_row_ < 0 || action == QAbstractSlider::SliderNoAction) return;
  EndEdit(false);
  QScrollBar* bar = verticalScrollBar();
  bar->setSliderPosition(bar->value());
}

// ---- editing ----

void CReportCtrl::SetEditable(bool on) {
  if (!on && edit_row_ >= 0) EndEdit(false);
  editable_ = on;
}

QWidget* CReportCtrl::EditorWidget() const {
  if (edit_row_ < 0) return nullptr;
  if (combo_ && combo_->isVisible()) return combo_;
  if (line_edit_ && line_edit_->isVisible()) return line_edit_;
  return nullptr;
}

QString CReportCtrl::GetEditText() const {
  if (edit_row_ < 0) return {};
  if (combo_ && combo_->isVisibleTo(viewport())) return combo_->currentText();
  if (line_edit_) return line_edit_->text();
  return {};
}

int CReportCtrl::GetEditChoice() const {
  if (edit_row_ < 0 || !combo_ || !combo_->isVisibleTo(viewport())) return -1;
  return combo_->currentIndex();
}

QWidget* CReportCtrl::CreateEditor(const EditSetup& setup, const QString& text) {
  if (!setup.choices.isEmpty()) {
    if (!combo_) {
      combo_ = new QComboBox(viewport());
      combo_->setEditable(false);
      combo_->setMaxVisibleItems(16);
      combo_->installEventFilter(this);
      connect(combo_, &QComboBox::activated, this, [this](int) {
        if (edit_row_ >= 0) EndEdit(true);
      });
    }
    if (line_edit_) line_edit_->hide();
    combo_->setFont(font());
    combo_->setStyleSheet(EditorStyle(palette(), QStringLiteral("QComboBox")));
    combo_->clear();
    combo_->addItems(setup.choices);
    const int current = setup.current_choice >= 0 && setup.current_choice < setup.choices.size()
                            ? setup.current_choice
                            : static_cast<int>(setup.choices.indexOf(text));
    combo_->setCurrentIndex(current);
    return combo_;
  }
  if (!line_edit_) {
    line_edit_ = new QLineEdit(viewport());
    line_edit_->setFrame(true);
    line_edit_->installEventFilter(this);
  }
  if (combo_) combo_->hide();
  line_edit_->setFont(font());
  line_edit_->setStyleSheet(EditorStyle(palette(), QStringLiteral("QLineEdit")));
  line_edit_->setAlignment(ToQt(setup.alignment));
  line_edit_->setMaxLength(std::max(setup.max_length, 1));
  line_edit_->setText(text);
  line_edit_->selectAll();
  return line_edit_;
}

bool CReportCtrl::StartEdit(int row, int column) {
  if (!editable_ || ending_edit_ || !ValidRow(row) || !ValidColumn(column)) return false;
  if (edit_row_ == row && edit_column_ == column) return true;
  if (edit_row_ >= 0) EndEdit(true);
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  const QModelIndex index = rows_->index(row, column);
  scrollTo(index);
  SelectOnly(row);
  EditSetup setup;
  setup.alignment = rows_->columns[static_cast<std::size_t>(column)].align;
  edit_row_ = row;
  edit_column_ = column;
  if (before_edit_ && !before_edit_(row, column, setup)) {
    // Refused: no edit is running, so nothing may be stored later.
    edit_row_ = edit_column_ = -1;
    return false;
  }
  if (edit_row_ != row || edit_column_ != column || !ValidRow(row) || !ValidColumn(column)) return false;
  QWidget* editor = CreateEditor(setup, GetItemText(row, column));
  editor->setGeometry(visualRect(index));
  editor->show();
  editor->raise();
  editor->setFocus(Qt::OtherFocusReason);
  if (editor == combo_ && isVisible()) combo_->showPopup();
  return true;
}

void CReportCtrl::HideEditor() {
  const bool had_focus = (line_edit_ && line_edit_->hasFocus()) || (combo_ && combo_->hasFocus());
  if (combo_) {
    combo_->hidePopup();
    combo_->hide();
  }
  if (line_edit_) line_edit_->hide();
  if (had_focus) setFocus(Qt::OtherFocusReason);
}

int CReportCtrl::EndEdit(bool commit) {
  if (ending_edit_) return 0;
  ending_edit_ = true;
  if (end_edit_) {
    const int result = end_edit_(*this, commit);
    if (result == 0) {
      if (edit_row_ >= 0) {
        edit_row_ = edit_column_ = -1;
        HideEditor();
      }
      ending_edit_ = false;
      return 0;
    }
  }
  if (edit_row_ < 0 || !ValidRow(edit_row_) || !ValidColumn(edit_column_)) {
    if (edit_row_ >= 0) HideEditor();
    edit_row_ = edit_column_ = -1;
    ending_edit_ = false;
    return 0;
  }
  EditCommit edit{edit_row_, edit_column_, GetEditText(), GetEditChoice()};
  bool changed = commit && edit.text != GetItemText(edit.row, edit.column);
  if (changed && validator_ && !validator_(edit)) changed = false;
  edit_row_ = edit_column_ = -1;
  HideEditor();
  if (changed && ValidRow(edit.row) && ValidColumn(edit.column) && edit.text != GetItemText(edit.row, edit.column)) {
    ForgetSortColumn();
    rows_->rows[static_cast<std::size_t>(edit.row)].texts[static_cast<std::size_t>(edit.column)] = edit.text;
    rows_->RowsChanged(edit.row, edit.row, edit.column, edit.column);
  } else {
    changed = false;
  }
  ending_edit_ = false;
  if (changed) emit CellEdited(edit.row, edit.column);
  return changed ? 1 : 0;
}

bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
  const bool editor = (line_edit_ && watched == line_edit_) || (combo_ && watched == combo_);
  if (!editor || edit_row_ < 0) return QTableView::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EndEdit(true);
      return true;
    }
    if (key == Qt::Key_Escape) {
      EndEdit(false);
      return true;
    }
  } else if (event->type() == QEvent::FocusOut) {
    // Losing the focus to anything but the editor's own drop-down ends the
    // edit, keeping what was typed.
    if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !ending_edit_) EndEdit(true);
  }
  return QTableView::eventFilter(watched, event);
}

}  // namespace keyloom::skin
