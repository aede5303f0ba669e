// The report list control with a macro's largest action list (4000 rows of
// key, state and pause): opening the list (filling every row and painting
// it once) and inserting the 4000th row after a selected middle row, as the
// recorder does. Each should stay well under 100 ms. Runs on Qt's offscreen
// platform unless another is chosen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>

#include "skin/report_ctrl.h"

namespace {

using keyloom::skin::CReportCtrl;

constexpr int kRows = 4000;

QApplication& App() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_skin_report_ctrl";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

void AddRow(CReportCtrl& list, int row, int i) {
  list.InsertItem(row, QStringLiteral("Key %1").arg(i % 106));
  list.SetItemText(row, 1, (i & 1) ? QStringLiteral("Release") : QStringLiteral("Press"));
  list.SetItemText(row, 2, QString::number((i % 400) * 10));
  list.SetItemData(row, static_cast<std::uintptr_t>(i));
}

void Fill(CReportCtrl& list, int rows) {
  for (int i = 0; i < rows; ++i) AddRow(list, i, i);
}

void NewList(CReportCtrl& list) {
  list.SetColumnHeader(QStringLiteral("Key,110;State,80;Pause,80,2"));
  list.SetGridLines(true);
  list.SetEditable(true);
  list.resize(300, 330);
  list.show();
}

// Open: fill an empty list with 4000 rows and paint it.
void BM_Open4000Rows(benchmark::State& state) {
  App();
  CReportCtrl list;
  NewList(list);
  for (auto _ : state) {
    list.DeleteAllItems();
    Fill(list, kRows);
    list.SetItemStates(0, keyloom::skin::kSelect | keyloom::skin::kFocus);
    list.viewport()->repaint();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(list.GetItemCount());
  }
}
BENCHMARK(BM_Open4000Rows)->Unit(benchmark::kMillisecond);

// The 4000th row, inserted after a selected middle row (the list of 3999
// rows is restored between runs, outside the timing).
void BM_Insert4000thRow(benchmark::State& state) {
  App();
  CReportCtrl list;
  NewList(list);
  Fill(list, kRows - 1);
  const int middle = kRows / 2;
  list.SetItemStates(middle, keyloom::skin::kSelect | keyloom::skin::kFocus);
  for (auto _ : state) {
    AddRow(list, middle + 1, kRows);
    list.SetItemStates(middle + 1, keyloom::skin::kSelect | keyloom::skin::kFocus);
    list.scrollTo(list.model()->index(middle + 1, 0));
    list.viewport()->repaint();
    state.PauseTiming();
    list.DeleteItem(middle + 1);
    list.SetItemStates(middle, keyloom::skin::kSelect | keyloom::skin::kFocus);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Insert4000thRow)->Unit(benchmark::kMicrosecond);

// Moving the last of 4000 rows to the top and back.
void BM_Move4000RowsEnds(benchmark::State& state) {
  App();
  CReportCtrl list;
  NewList(list);
  Fill(list, kRows);
  for (auto _ : state) {
    list.MoveToTop(kRows - 1);
    list.MoveToBottom(0);
  }
}
BENCHMARK(BM_Move4000RowsEnds)->Unit(benchmark::kMicrosecond);

// Sorting 4000 rows by the key column, alternately ascending and descending.
void BM_Sort4000Rows(benchmark::State& state) {
  App();
  CReportCtrl list;
  NewList(list);
  Fill(list, kRows);
  for (auto _ : state) list.SortByColumn(0);
}
BENCHMARK(BM_Sort4000Rows)->Unit(benchmark::kMillisecond);

}  // namespace
