#include "skin/report_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>
#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::SendMouse;

// A shown list of `rows` rows: column 0 "key <i>", column 1 "s<i>", column 2
// "<i>0"; row data 100 + i. It records the check-change callback, both
// notifications and the internal-change flag seen by selection changes.
struct Report {
  explicit Report(int rows = 5) {
    ctrl.SetColumnHeader("Key,120;State,80,1;Pause,80,2");
    for (int i = 0; i < rows; ++i) {
      ctrl.InsertItem(i, QString("key %1").arg(i));
      ctrl.SetItemText(i, 1, QString("s%1").arg(i));
      ctrl.SetItemText(i, 2, QString("%1").arg(i * 10));
      ctrl.SetItemData(i, 100 + static_cast<std::uintptr_t>(i));
    }
    ctrl.SetCheckChangeCallback([this](int row, CReportCtrl&) { callbacks.push_back(row); });
    ctrl.SetInternalChangeFlag(&internal);
    QObject::connect(&ctrl, &CReportCtrl::CheckClicked,
                     [this](int row, Qt::MouseButton, bool) { check_clicks.push_back(row); });
    QObject::connect(&ctrl, &CReportCtrl::CellEdited, [this](int row, int column) { edits.push_back({row, column}); });
    QObject::connect(ctrl.selectionModel(), &QItemSelectionModel::selectionChanged,
                     [this] { flag_during_selection.push_back(internal); });
    ctrl.resize(400, 200);
    ctrl.show();
  }

  QPoint CellCentre(int row, int column) const { return ctrl.visualRect(ctrl.model()->index(row, column)).center(); }
  void ClickAt(QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(*ctrl.viewport(), QEvent::MouseButtonPress, pos, button, button);
    SendMouse(*ctrl.viewport(), QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
  }
  void Click(int row, int column) { ClickAt(CellCentre(row, column)); }
  void ClickCheckbox(int row) {
    const QRect box = ctrl.CheckboxRect(row);
    ASSERT_FALSE(box.isEmpty());
    ClickAt(box.center());
  }
  void ClickHeader(int column) {
    QHeaderView* header = ctrl.horizontalHeader();
    const QPoint pos(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    SendMouse(*header->viewport(), QEvent::MouseButtonPress, pos);
    SendMouse(*header->viewport(), QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
  }
  void Key(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(ctrl.EditorWidget(), &press);
  }
  QLineEdit* LineEdit() const { return qobject_cast<QLineEdit*>(ctrl.EditorWidget()); }

  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int r = 0; r < ctrl.GetItemCount(); ++r) texts.push_back(ctrl.GetItemText(r, column).toStdString());
    return texts;
  }
  std::vector<std::uintptr_t> Data() const {
    std::vector<std::uintptr_t> data;
    for (int r = 0; r < ctrl.GetItemCount(); ++r) data.push_back(ctrl.GetItemData(r));
    return data;
  }
  std::vector<int> Rows(unsigned test) const {
    std::vector<int> rows;
    for (int r = ctrl.GetNextItem(test, -1); r >= 0; r = ctrl.GetNextItem(test, r)) rows.push_back(r);
    return rows;
  }

  CReportCtrl ctrl;
  int internal = 0;
  std::vector<int> callbacks;
  std::vector<int> check_clicks;
  std::vector<std::pair<int, int>> edits;
  std::vector<int> flag_during_selection;
};

using Cells = std::vector<std::pair<int, int>>;
using Strings = std::vector<std::string>;
using Ints = std::vector<int>;
using Data = std::vector<std::uintptr_t>;

struct Case {
  const char* what;
  std::function<void(Report&)> run;
};

TEST(ReportCtrl, EdgeCases) {
  const Case cases[] = {
      {"single check: checking row 2 unchecks row 0 and calls back once, for row 2",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kSingleCheck);
         r.ctrl.SetItemStates(0, kCheck);
         r.callbacks.clear();
         EXPECT_TRUE(r.ctrl.SetItemStates(2, kCheck));
         EXPECT_EQ(r.Rows(kCheck), Ints{2});
         EXPECT_EQ(r.callbacks, Ints{2});
         EXPECT_EQ(r.ctrl.GetItemStates(0) & (kCheck | kUncheck), kUncheck);
       }},
      {"switching to single check unchecks every row without calling back",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kCheckboxes);
         r.ctrl.SetAllItemStates(kAny, kCheck);
         EXPECT_EQ(r.ctrl.GetItemCount(kCheck), 5);
         r.callbacks.clear();
         r.ctrl.SetCheckboxStyle(CReportCtrl::kSingleCheck);
         EXPECT_EQ(r.ctrl.GetItemCount(kCheck), 0);
         EXPECT_TRUE(r.callbacks.empty());
       }},
      {"GetNextItem(check) finds the checked rows in order, -1 when none is left",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kCheckboxes);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck, -1), -1);
         r.ctrl.SetItemStates(3, kCheck);
         r.ctrl.SetItemStates(1, kCheck);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck, -5), 1);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck, 1), 3);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck, 3), -1);
         EXPECT_EQ(r.ctrl.GetItemCount(kUncheck), 3);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck | kSelect, -1), -1);
         r.ctrl.SetItemStates(3, kSelect);
         EXPECT_EQ(r.ctrl.GetNextItem(kCheck | kSelect, -1), 3);
       }},
      {"deleting the last row with neighbour selection selects the row before it",
       [](Report& r) {
         r.ctrl.SetItemStates(4, kSelect | kFocus);
         EXPECT_TRUE(r.ctrl.DeleteItem(4, true));
         EXPECT_EQ(r.ctrl.GetItemCount(), 4);
         EXPECT_EQ(r.Rows(kSelect), Ints{3});
         EXPECT_EQ(r.Rows(kFocus), Ints{3});
         EXPECT_EQ(r.Column(0), (Strings{"key 0", "key 1", "key 2", "key 3"}));
       }},
      {"deleting a middle row with neighbour selection selects the next one",
       [](Report& r) {
         r.ctrl.SetItemStates(1, kSelect | kFocus);
         EXPECT_TRUE(r.ctrl.DeleteItem(1, true));
         EXPECT_EQ(r.Rows(kSelect), Ints{1});
         EXPECT_EQ(r.ctrl.GetItemText(1, 0), "key 2");
         EXPECT_EQ(r.Data(), (Data{100, 102, 103, 104}));
       }},
      {"deleting the only row selects nothing", [](Report& r) {
         r.ctrl.DeleteAllItems();
         r.ctrl.InsertItem(0, "only");
         r.ctrl.SetItemStates(0, kSelect | kFocus);
         EXPECT_TRUE(r.ctrl.DeleteItem(0, true));
         EXPECT_FALSE(r.ctrl.DeleteItem(0, true));
         EXPECT_EQ(r.ctrl.GetItemCount(), 0);
         EXPECT_EQ(r.ctrl.GetNextItem(kSelect, -1), -1);
         EXPECT_EQ(r.ctrl.GetNextItem(kAny, -1), -1);
       }},
      {"MoveToTop of row 3 keeps its texts, data, check, selection and focus",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kCheckboxes);
         r.ctrl.SetItemStates(3, kCheck | kSelect | kFocus);
         r.ctrl.SetCellColor(3, 2, QColor(Qt::red));
         EXPECT_EQ(r.ctrl.MoveToTop(3), 0);
         EXPECT_EQ(r.Column(0), (Strings{"key 3", "key 0", "key 1", "key 2", "key 4"}));
         EXPECT_EQ(r.Column(2), (Strings{"30", "0", "10", "20", "40"}));
         EXPECT_EQ(r.Data(), (Data{103, 100, 101, 102, 104}));
         EXPECT_EQ(r.ctrl.GetItemStates(0), kCheck | kSelect | kFocus);
         EXPECT_EQ(r.Rows(kCheck), Ints{0});
         EXPECT_EQ(r.Rows(kSelect), Ints{0});
         EXPECT_EQ(r.ctrl.GetCellColor(0, 2), QColor(Qt::red));
         EXPECT_FALSE(r.ctrl.GetCellColor(3, 2).isValid());
       }},
      {"MoveToBottom of row 1 moves it to the last index with its data and check",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kCheckboxes);
         r.ctrl.SetItemStates(1, kCheck);
         r.ctrl.SetItemStates(2, kSelect | kFocus);
         EXPECT_EQ(r.ctrl.MoveToBottom(1), 4);
         EXPECT_EQ(r.Column(1), (Strings{"s0", "s2", "s3", "s4", "s1"}));
         EXPECT_EQ(r.Data(), (Data{100, 102, 103, 104, 101}));
         EXPECT_EQ(r.Rows(kCheck), Ints{4});
         EXPECT_EQ(r.Rows(kSelect), Ints{1});  // the selected row stays selected where it went
         EXPECT_EQ(r.Rows(kFocus), Ints{1});
       }},
      {"moves clamp, also with counts that would overflow",
       [](Report& r) {
         EXPECT_EQ(r.ctrl.MoveUp(1, 5), 0);
         EXPECT_EQ(r.ctrl.MoveDown(3, INT_MAX), 4);
         EXPECT_EQ(r.ctrl.MoveUp(4, INT_MIN + 1), 4);  // moving "up" by a negative count goes down, clamped
         EXPECT_EQ(r.ctrl.MoveItem(2, 2), 2);
         EXPECT_EQ(r.ctrl.MoveItem(7, 0), -1);
         EXPECT_EQ(r.Column(0), (Strings{"key 1", "key 0", "key 2", "key 4", "key 3"}));
       }},
      {"a first click selects, a second click on the selected row edits the clicked cell",
       [](Report& r) {
         r.ctrl.SetEditable(true);
         r.Click(2, 1);
         EXPECT_EQ(r.Rows(kSelect), Ints{2});
         EXPECT_EQ(r.Rows(kFocus), Ints{2});
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         r.Click(2, 1);
         EXPECT_EQ(r.ctrl.GetEditRow(), 2);
         EXPECT_EQ(r.ctrl.GetEditColumn(), 1);
         ASSERT_NE(r.LineEdit(), nullptr);
         EXPECT_EQ(r.LineEdit()->text(), "s2");
         EXPECT_EQ(r.LineEdit()->geometry(), r.ctrl.visualRect(r.ctrl.model()->index(2, 1)));
         r.ctrl.horizontalHeader()->resizeSection(0, 170);  // the editor follows its cell
         EXPECT_EQ(r.LineEdit()->geometry(), r.ctrl.visualRect(r.ctrl.model()->index(2, 1)));
         EXPECT_EQ(r.LineEdit()->geometry().left(), 170);
         // A click on another row commits nothing changed and only selects it.
         r.Click(3, 0);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.Rows(kSelect), Ints{3});
         EXPECT_TRUE(r.edits.empty());
       }},
      {"a second click does not edit when the list is not editable; a right click never edits",
       [](Report& r) {
         r.Click(1, 0);
         r.Click(1, 0);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         r.ctrl.SetEditable(true);
         r.ClickAt(r.CellCentre(1, 0), Qt::RightButton);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
       }},
      {"an edit that leaves the text unchanged sends nothing; a changed one sends one notification",
       [](Report& r) {
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(1, 2));
         r.LineEdit()->setText("10");
         EXPECT_EQ(r.ctrl.EndEdit(true), 0);
         EXPECT_TRUE(r.edits.empty());
         ASSERT_TRUE(r.ctrl.StartEdit(1, 2));
         r.LineEdit()->setText("250");
         EXPECT_EQ(r.ctrl.EndEdit(false), 0);  // cancelled
         EXPECT_EQ(r.ctrl.GetItemText(1, 2), "10");
         ASSERT_TRUE(r.ctrl.StartEdit(1, 2));
         r.LineEdit()->setText("250");
         EXPECT_EQ(r.ctrl.EndEdit(true), 1);
         EXPECT_EQ(r.ctrl.GetItemText(1, 2), "250");
         EXPECT_EQ(r.edits, (Cells{{1, 2}}));
         EXPECT_EQ(r.ctrl.EditorWidget(), nullptr);
       }},
      {"Enter stores the edit, Escape drops it",
       [](Report& r) {
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(0, 0));
         r.LineEdit()->setText("typed");
         r.Key(Qt::Key_Escape);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.ctrl.GetItemText(0, 0), "key 0");
         ASSERT_TRUE(r.ctrl.StartEdit(0, 0));
         r.LineEdit()->setText("typed");
         r.Key(Qt::Key_Return);
         EXPECT_EQ(r.ctrl.GetItemText(0, 0), "typed");
         EXPECT_EQ(r.edits, (Cells{{0, 0}}));
       }},
      {"clicking the same column header twice sorts it ascending, then descending",
       [](Report& r) {
         const char* names[] = {"delta", "alpha", "echo", "charlie", "bravo"};
         for (int i = 0; i < 5; ++i) r.ctrl.SetItemText(i, 0, names[i]);
         r.ctrl.SetItemStates(2, kSelect | kFocus);  // "echo", data 102
         r.ClickHeader(0);
         EXPECT_EQ(r.Column(0), (Strings{"alpha", "bravo", "charlie", "delta", "echo"}));
         EXPECT_EQ(r.Data(), (Data{101, 104, 103, 100, 102}));
         EXPECT_EQ(r.Rows(kSelect), Ints{4});
         EXPECT_TRUE(r.ctrl.IsSortAscending());
         r.ClickHeader(0);
         EXPECT_EQ(r.Column(0), (Strings{"echo", "delta", "charlie", "bravo", "alpha"}));
         EXPECT_EQ(r.Column(1), (Strings{"s2", "s0", "s3", "s4", "s1"}));
         EXPECT_EQ(r.Rows(kSelect), Ints{0});
         EXPECT_FALSE(r.ctrl.IsSortAscending());
         // Another column starts ascending; a changed text forgets the sort.
         r.ClickHeader(1);
         EXPECT_EQ(r.Column(1), (Strings{"s0", "s1", "s2", "s3", "s4"}));
         r.ctrl.SetItemText(0, 1, "s9");
         EXPECT_EQ(r.ctrl.GetSortColumn(), -1);
         r.ClickHeader(1);
         EXPECT_EQ(r.Column(1), (Strings{"s1", "s2", "s3", "s4", "s9"}));
       }},
      {"a list that is not sortable ignores header clicks",
       [](Report& r) {
         r.ctrl.SetItemText(0, 0, "zulu");
         r.ctrl.SetSortable(false);
         r.ClickHeader(0);
         EXPECT_EQ(r.ctrl.GetItemText(0, 0), "zulu");
         EXPECT_EQ(r.ctrl.GetSortColumn(), -1);
       }},
      {"a refusing validator leaves the cell and sends nothing; the edit ends",
       [](Report& r) {
         std::vector<std::string> seen;
         r.ctrl.SetValidator([&](CReportCtrl::EditCommit& e) {
           seen.push_back(e.text.toStdString());
           return false;
         });
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(3, 2));
         r.LineEdit()->setText("12345");
         EXPECT_EQ(r.ctrl.EndEdit(true), 0);
         EXPECT_EQ(seen, Strings{"12345"});
         EXPECT_EQ(r.ctrl.GetItemText(3, 2), "30");
         EXPECT_TRUE(r.edits.empty());
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.ctrl.EditorWidget(), nullptr);
       }},
      {"a validator may rewrite the text; a rewrite back to the old text sends nothing",
       [](Report& r) {
         r.ctrl.SetValidator([](CReportCtrl::EditCommit& e) {
           e.text = QString::number(e.text.toInt() / 10 * 10);
           return true;
         });
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(3, 2));
         r.LineEdit()->setText("12345");
         EXPECT_EQ(r.ctrl.EndEdit(true), 1);
         EXPECT_EQ(r.ctrl.GetItemText(3, 2), "12340");
         ASSERT_TRUE(r.ctrl.StartEdit(3, 2));
         r.LineEdit()->setText("12347");
         EXPECT_EQ(r.ctrl.EndEdit(true), 0);
         EXPECT_EQ(r.edits, (Cells{{3, 2}}));
       }},
      {"a refusing before-edit hook starts nothing, and a later EndEdit stores nothing",
       [](Report& r) {
         std::vector<std::pair<int, int>> asked;
         r.ctrl.SetBeforeEditHook([&](int row, int column, CReportCtrl::EditSetup&) {
           asked.push_back({row, column});
           return column != 1;
         });
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(0, 0));  // an earlier edit leaves text in the edit box
         r.LineEdit()->setText("left over");
         r.ctrl.EndEdit(false);
         r.Click(2, 1);
         r.Click(2, 1);
         EXPECT_EQ(asked, (Cells{{0, 0}, {2, 1}}));
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.ctrl.EditorWidget(), nullptr);
         EXPECT_EQ(r.ctrl.EndEdit(true), 0);
         EXPECT_EQ(r.Column(1), (Strings{"s0", "s1", "s2", "s3", "s4"}));
         EXPECT_TRUE(r.edits.empty());
       }},
      {"the before-edit hook can give a drop-down; choosing an entry stores it with its index",
       [](Report& r) {
         int chosen = -2;
         r.ctrl.SetBeforeEditHook([](int, int, CReportCtrl::EditSetup& setup) {
           setup.choices = {"Press", "Release"};
           return true;
         });
         r.ctrl.SetValidator([&](CReportCtrl::EditCommit& e) {
           chosen = e.choice;
           return true;
         });
         r.ctrl.SetEditable(true);
         r.ctrl.SetItemText(1, 1, "Press");
         ASSERT_TRUE(r.ctrl.StartEdit(1, 1));
         auto* combo = qobject_cast<QComboBox*>(r.ctrl.EditorWidget());
         ASSERT_NE(combo, nullptr);
         EXPECT_EQ(combo->currentIndex(), 0);
         combo->setCurrentIndex(1);
         emit combo->activated(1);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.ctrl.GetItemText(1, 1), "Release");
         EXPECT_EQ(chosen, 1);
         EXPECT_EQ(r.edits, (Cells{{1, 1}}));
       }},
      {"an end-edit hook returning 0 ends the edit without storing it",
       [](Report& r) {
         std::vector<bool> commits;
         r.ctrl.SetEndEditHook([&](CReportCtrl&, bool commit) {
           commits.push_back(commit);
           return 0;
         });
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(2, 0));
         r.LineEdit()->setText("changed");
         EXPECT_EQ(r.ctrl.EndEdit(true), 0);
         EXPECT_EQ(commits, std::vector<bool>{true});
         EXPECT_EQ(r.ctrl.GetItemText(2, 0), "key 2");
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_TRUE(r.edits.empty());
       }},
      {"deleting the row being edited drops the edit; deleting another row keeps it",
       [](Report& r) {
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(1, 0));
         r.LineEdit()->setText("kept");
         r.ctrl.DeleteItem(3);
         EXPECT_EQ(r.ctrl.GetItemText(1, 0), "kept");
         ASSERT_TRUE(r.ctrl.StartEdit(1, 0));
         r.LineEdit()->setText("lost");
         r.ctrl.DeleteItem(1);
         EXPECT_EQ(r.Column(0), (Strings{"key 0", "key 2", "key 4"}));
         EXPECT_EQ(r.edits, (Cells{{1, 0}}));
       }},
      {"a wheel turn while editing cancels the edit and does not scroll",
       [](Report& r) {
         for (int i = 5; i < 60; ++i) r.ctrl.InsertItem(i, QString("key %1").arg(i));
         r.ctrl.SetEditable(true);
         ASSERT_TRUE(r.ctrl.StartEdit(0, 0));
         r.LineEdit()->setText("typed");
         const QPointF pos(r.CellCentre(0, 1));
         QWheelEvent wheel(pos, r.ctrl.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                           Qt::NoModifier, Qt::NoScrollPhase, false);
         QCoreApplication::sendEvent(r.ctrl.viewport(), &wheel);
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);
         EXPECT_EQ(r.ctrl.GetItemText(0, 0), "key 0");
         EXPECT_EQ(r.ctrl.verticalScrollBar()->value(), 0);
       }},
      {"clicking a check box in single-check mode: only that row checked and selected, one callback",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kSingleCheck);
         r.ctrl.SetEditable(true);
         r.ctrl.SetItemStates(0, kCheck | kSelect);
         r.ctrl.SetItemStates(3, kSelect | kFocus);
         r.callbacks.clear();
         r.flag_during_selection.clear();
         r.ClickCheckbox(3);
         EXPECT_EQ(r.Rows(kCheck), Ints{3});
         EXPECT_EQ(r.Rows(kSelect), Ints{3});
         EXPECT_EQ(r.callbacks, Ints{3});
         EXPECT_EQ(r.check_clicks, Ints{3});
         EXPECT_EQ(r.ctrl.GetEditRow(), -1);  // a check click never edits
         EXPECT_EQ(r.internal, 0);
         ASSERT_FALSE(r.flag_during_selection.empty());
         EXPECT_EQ(r.flag_during_selection.back(), 1);
         r.ClickCheckbox(3);  // a normal click unchecks it again
         EXPECT_EQ(r.Rows(kCheck), Ints{});
         EXPECT_EQ(r.check_clicks, (Ints{3, 3}));
       }},
      {"clicking a check box in fixed mode changes nothing and notifies nothing",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kFixedCheck);
         r.ctrl.SetItemStates(1, kCheck);
         r.callbacks.clear();
         r.ClickCheckbox(1);
         r.ClickCheckbox(2);
         EXPECT_EQ(r.Rows(kCheck), Ints{1});
         EXPECT_TRUE(r.callbacks.empty());
         EXPECT_TRUE(r.check_clicks.empty());
       }},
      {"Space toggles the focused row's check with the callback, except in fixed mode",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kSingleCheck);
         r.ctrl.SetItemStates(0, kCheck);
         r.ctrl.SetItemStates(2, kSelect | kFocus);
         r.callbacks.clear();
         QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
         QCoreApplication::sendEvent(&r.ctrl, &space);
         EXPECT_EQ(r.Rows(kCheck), Ints{2});
         EXPECT_EQ(r.callbacks, Ints{2});
         r.ctrl.SetCheckboxStyle(CReportCtrl::kFixedCheck);
         r.ctrl.SetItemStates(2, kCheck);
         QCoreApplication::sendEvent(&r.ctrl, &space);
         EXPECT_EQ(r.Rows(kCheck), Ints{2});
       }},
      {"DeleteAllItems with a test deletes the matching rows only",
       [](Report& r) {
         r.ctrl.SetCheckboxStyle(CReportCtrl::kCheckboxes);
         r.ctrl.SetItemStates(0, kCheck);
         r.ctrl.SetItemStates(3, kCheck);
         EXPECT_EQ(r.ctrl.DeleteAllItems(kCheck), 2);
         EXPECT_EQ(r.Data(), (Data{101, 102, 104}));
         EXPECT_EQ(r.ctrl.DeleteAllItems(kAny), 3);
         EXPECT_EQ(r.ctrl.GetItemCount(), 0);
       }},
      {"a cell colour out of range covers the column, or the whole table",
       [](Report& r) {
         r.ctrl.SetCellColor(-1, 1, QColor(Qt::blue));
         EXPECT_EQ(r.ctrl.GetCellColor(4, 1), QColor(Qt::blue));
         EXPECT_FALSE(r.ctrl.GetCellColor(4, 0).isValid());
         r.ctrl.SetCellColor(99, 99, QColor(Qt::green));
         EXPECT_EQ(r.ctrl.GetCellColor(0, 0), QColor(Qt::green));
         EXPECT_EQ(r.ctrl.GetCellColor(4, 2), QColor(Qt::green));
         r.ctrl.SetCellColor(2, 0, QColor());
         EXPECT_FALSE(r.ctrl.GetCellColor(2, 0).isValid());
         EXPECT_EQ(r.ctrl.model()->index(4, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::green));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Report report;
    c.run(report);
  }
}

TEST(ReportCtrl, ColumnHeaderFromOneString) {
  struct Column {
    std::string title;
    int width;
    Qt::Alignment align;
  };
  struct LayoutCase {
    const char* layout;
    bool inserted;
    std::vector<Column> columns;
  };
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter, centre = Qt::AlignHCenter | Qt::AlignVCenter,
                      right = Qt::AlignRight | Qt::AlignVCenter;
  const LayoutCase cases[] = {
      {"Key,120;State,80,1;Pause,70,2", true, {{"Key", 120, left}, {"State", 80, centre}, {"Pause", 70, right}}},
      {";;Name;;Folder,250,7;", true, {{"Name", 100, left}, {"Folder", 250, left}}},
      {"Name,;Size, 60 ,2", true, {{"Name", 100, left}, {"Size", 60, right}}},
      {"A,-5;B,x9", true, {{"A", 0, left}, {"B", 0, left}}},
      {"", false, {}},
      {";;;", false, {}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.layout);
    CReportCtrl ctrl;
    ctrl.SetColumnHeader("Old;Columns");
    ctrl.InsertItem(0, "old row");
    EXPECT_EQ(ctrl.SetColumnHeader(c.layout), c.inserted);
    EXPECT_EQ(ctrl.GetItemCount(), 0);
    ASSERT_EQ(ctrl.GetColumnCount(), static_cast<int>(c.columns.size()));
    for (int i = 0; i < ctrl.GetColumnCount(); ++i) {
      const Column& want = c.columns[static_cast<std::size_t>(i)];
      EXPECT_EQ(ctrl.model()->headerData(i, Qt::Horizontal).toString().toStdString(), want.title);
      EXPECT_EQ(ctrl.horizontalHeader()->sectionSize(i), want.width) << i;
      EXPECT_EQ(ctrl.model()->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(), want.align);
    }
  }
}

}  // namespace
}  // namespace keyloom::skin
