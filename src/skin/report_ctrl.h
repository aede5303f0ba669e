#pragma once
// The list control of the dialogs that show tables (the profile list, the
// macro action list). A table view over its own row store that adds:
// - item states addressed by one set of flags (ReportState);
// - check boxes in column 0 with four styles: none, normal, single check
//   (checking one row unchecks every other) and fixed (clicks change nothing);
// - per-cell text and background colours;
// - moving a row with its texts, data, check, selection and focus;
// - sorting by a clicked column, ascending first, then alternating;
// - a column layout read from one string ("Title,width,align;...");
// - in-place editing of a cell, started by a click on a row that was
//   already selected and focused, with a before-edit hook, a validator and
//   an end-edit hook.
// It tells its owner about a check box changed by a click (CheckClicked)
// and about a cell changed by an edit (CellEdited).
//
// Every operation that changes rows or texts first ends a running edit.
// User-interface thread only.
#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QWidget;

namespace keyloom::skin {

// Item state flags. Set: what SetItemStates does; tested: what a row must
// have to match (every bit of the test value among the row's flags, or the
// value is exactly kAny).
enum ReportState : unsigned {
  kAny = 0x01,
  kSelect = 0x02,    // selected
  kUnselect = 0x04,  // not selected
  kCheck = 0x08,     // checked
  kUncheck = 0x10,   // not checked
  kFocus = 0x20,     // focused (the current row)
  kUnfocus = 0x40,   // not focused
};

// Whether a row with `states` (one of each pair) matches `test`.
constexpr bool ReportStatesMatch(unsigned states, unsigned test) {
  return test == kAny || (states & test) == test;
}

// Where MoveItem puts a row asked to go to `position` among `count` rows:
// clamped to 0 .. count - 1 (count >= 1).
constexpr int ClampReportPosition(long long position, int count) {
  return position < 0 ? 0 : position >= count ? count - 1 : static_cast<int>(position);
}

class ReportRows;

class CReportCtrl : public QTableView {
  Q_OBJECT
 public:
  enum CheckboxStyle { kNoCheckboxes = 0, kCheckboxes = 1, kSingleCheck = 2, kFixedCheck = 3 };
  enum Align { kLeft = 0, kRight = 1, kCentre = 2 };

  // What the before-edit hook may change about the editor it is about to get.
  struct EditSetup {
    Align alignment = kLeft;  // starts as the column's alignment
    int max_length = 100;     // characters of a text edit
    // Non-empty: the cell is edited with a drop-down of these entries
    // instead of a text edit; choosing an entry ends the edit.
    QStringList choices;
    int current_choice = -1;  // preselected entry (-1: the one equal to the cell text)
  };
  // An edit about to be stored. The validator may rewrite `text`.
  struct EditCommit {
    int row = -1;
    int column = -1;
    QString text;
    int choice = -1;  // the drop-down entry chosen, -1 for a text edit
  };

  using Validator = std::function<bool(EditCommit& edit)>;
  using BeforeEditHook = std::function<bool(int row, int column, EditSetup& setup)>;
  // Called first by every EndEdit (also when no edit is running, as by the
  // operations that end any edit); returning 0 ends the edit without
  // storing it and EndEdit returns 0.
  using EndEditHook = std::function<int(CReportCtrl& ctrl, bool commit)>;
  using SortHook = std::function<void(int column)>;
  using CheckChangeCallback = std::function<void(int row, CReportCtrl& ctrl)>;

  explicit CReportCtrl(QWidget* parent = nullptr);
  ~CReportCtrl() override;

  // ---- columns ----
  // Inserts a column at `index` (clamped to the column count) with its
  // title, alignment and width in pixels; returns its index.
  int InsertColumn(int index, const QString& title, Align format = kLeft, int width = 100);
  int GetColumnCount() const;
  // Deletes every row and column, then appends the columns described by
  // `layout`: entries separated by ";", each "title[,width[,align]]" with
  // width 100 when absent and align 1 centre, 2 right, else left. True when
  // at least one column was inserted.
  bool SetColumnHeader(const QString& layout);

  // ---- rows ----
  // Inserts a row at `index` (past the end: appended); returns its index, -1
  // when `index` is negative.
  int InsertItem(int index, const QString& text);
  // Deletes a row; with `select_neighbour` the next row (the previous one
  // when it was the last) becomes selected and focused.
  bool DeleteItem(int row, bool select_neighbour = false);
  // kAny deletes every row; another test value deletes the rows that match.
  // Returns the number deleted.
  int DeleteAllItems(unsigned test = kAny);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  // kAny: the row count; another value: the number of rows that match it.
  int GetItemCount(unsigned test = kAny) const;
  // The first row after `start` (from 0 when start < 0) that matches, or -1.
  int GetNextItem(unsigned test, int start = -1) const;
  bool SetItemData(int row, std::uintptr_t data);
  std::uintptr_t GetItemData(int row) const;

  // ---- states ----
  unsigned GetItemStates(int row) const;  // 0 for a row that does not exist
  // Applies each bit. Check and uncheck call the check-change callback for
  // the row when its check changes; in single-check mode a check unchecks
  // every other row without calling it for them.
  bool SetItemStates(int row, unsigned flags);
  // Applies `flags` to every row that matches `test`; returns how many.
  int SetAllItemStates(unsigned test, unsigned flags);
  // 0 none, 1 normal, 2 single check, 3 fixed; any but 0 shows the check
  // boxes (none are shown before the first call); 2 unchecks every row.
  void SetCheckboxStyle(int style);
  int GetCheckboxStyle() const { return checkbox_style_; }

  // ---- appearance ----
  // Background (or text) colour of a cell; an invalid colour restores the
  // palette's. A row out of range means every row, a column out of range
  // every column.
  void SetCellColor(int row, int column, const QColor& background, bool redraw = true);
  void SetCellTextColor(int row, int column, const QColor& text, bool redraw = true);
  QColor GetCellColor(int row, int column) const;
  QColor GetCellTextColor(int row, int column) const;
  void SetGridLines(bool on) { setShowGrid(on); }

  // ---- moves ----
  // Moves a row to `position` (clamped) with its texts, colours, data and
  // states; returns its new index (-1 for a row that does not exist).
  int MoveItem(int row, int position);
  int MoveUp(int row, int count = 1) { return MoveItem(row, ClampedSum(row, -static_cast<long long>(count))); }
  int MoveDown(int row, int count = 1) { return MoveItem(row, ClampedSum(row, count)); }
  int MoveToTop(int row) { return MoveItem(row, -1); }
  int MoveToBottom(int row) { return MoveItem(row, INT32_MAX); }
  // Scrolls the list so that `row` is visible.
  void EnsureVisible(int row);

  // ---- sorting ----
  // What a click on column `column`'s header does when sortable: ascending
  // when it is another column than the last sorted one, else the other way.
  void SortByColumn(int column);
  int GetSortColumn() const { return sort_column_; }
  bool IsSortAscending() const { return sort_ascending_; }
  void SetSortable(bool on) { sortable_ = on; }

  // ---- editing ----
  // Switching off cancels a running edit.
  void SetEditable(bool on);
  bool IsEditable() const { return editable_; }
  // Starts an in-place edit of a cell: nothing unless editable and the cell
  // exists. True when an editor is shown.
  bool StartEdit(int row, int column);
  // Ends the edit; with `commit` a changed text is validated, stored and
  // reported by CellEdited. Returns whether the cell changed.
  int EndEdit(bool commit);
  int GetEditRow() const { return edit_row_; }
  int GetEditColumn() const { return edit_column_; }
  // The running editor's text and chosen drop-down entry (-1 without one).
  QString GetEditText() const;
  int GetEditChoice() const;
  QWidget* EditorWidget() const;

  // ---- hooks ----
  void SetValidator(Validator f) { validator_ = std::move(f); }
  void SetBeforeEditHook(BeforeEditHook f) { before_edit_ = std::move(f); }
  void SetEndEditHook(EndEditHook f) { end_edit_ = std::move(f); }
  void SetSortHooks(SortHook before, SortHook after) {
    before_sort_ = std::move(before);
    after_sort_ = std::move(after);
  }
  void SetCheckChangeCallback(CheckChangeCallback f) { check_change_ = std::move(f); }
  // Set to 1 while the control itself changes the selection, 0 otherwise.
  void SetInternalChangeFlag(int* flag) { internal_change_ = flag; }

  // Where the check box of `row` is drawn (empty without check boxes).
  QRect CheckboxRect(int row) const;

 signals:
  // A click changed the check box of `row`.
  void CheckClicked(int row, Qt::MouseButton button, bool double_click);
  // An edit changed the text of a cell.
  void CellEdited(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // Space toggles the focused row's check box as a click would.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // row + delta, saturated to the int range.
  static int ClampedSum(int row, long long delta) {
    const long long sum = static_cast<long long>(row) + delta;
    return sum < INT32_MIN ? INT32_MIN : sum > INT32_MAX ? INT32_MAX : static_cast<int>(sum);
  }
  void HandleClick(QMouseEvent* event, bool double_click);
  void OnVerticalScrollAction(int action);
  bool ValidRow(int row) const;
  bool ValidColumn(int column) const;
  void SetChecked(int row, bool on, bool notify);
  void SetSelected(int row, bool on);
  void SetFocused(int row, bool on);
  // Makes `row` the only selected row and the focused one.
  void SelectOnly(int row);
  void ForgetSortColumn();
  void HideEditor();
  QWidget* CreateEditor(const EditSetup& setup, const QString& text);

  ReportRows* rows_;
  QPointer<QLineEdit> line_edit_;
  QPointer<QComboBox> combo_;
  bool editable_ = false;
  int edit_row_ = -1;
  int edit_column_ = -1;
  bool ending_edit_ = false;
  int checkbox_style_ = kCheckboxes;
  bool checkboxes_shown_ = false;  // until SetCheckboxStyle switches them on
  int sort_column_ = -1;
  bool sort_ascending_ = true;
  bool sortable_ = true;
  int* internal_change_ = nullptr;
  Validator validator_;
  BeforeEditHook before_edit_;
  EndEditHook end_edit_;
  SortHook before_sort_;
  SortHook after_sort_;
  CheckChangeCallback check_change_;
};

}  // namespace keyloom::skin
