// The grid over 100,000 records: building the model and painting one screen, next to a plain QTableView over
// a model of the same strings measured in the same run. Texts come from the fields' get-text handlers only
// for the rows painted; the counter "texts" shows how many were formatted per screen.
#include <benchmark/benchmark.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QImage>
#include <QTableView>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/QtText.h"

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 4;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_ui";
  static char* argv[] = {name, nullptr};
  static bool env = (qputenv("QT_QPA_PLATFORM", "offscreen"), true);
  (void)env;
  static QApplication app(argc, argv);
  return app;
}

std::string CodeOf(int i) {
  return "U" + sw::PadNumber(i, 6);
}
std::string NameOf(int i) {
  return "用户" + sw::IntToStr(i);
}

struct Data {
  sw::TClientDataSet ds;
  std::vector<QString> strings;  // the same texts for the plain view, row by row
  int texts = 0;
  Data() {
    ds.AddFieldDef("UserCode", sw::TFieldType::ftString, 10);
    ds.AddFieldDef("UserName", sw::TFieldType::ftString, 20);
    ds.AddFieldDef("Qty", sw::TFieldType::ftInteger);
    ds.AddFieldDef("Amount", sw::TFieldType::ftFloat);
    ds.CreateDataSet();
    strings.reserve(static_cast<std::size_t>(kRows) * kCols);
    ds.DisableControls();
    for (int i = 0; i < kRows; ++i) {
      ds.AppendRecord({CodeOf(i), NameOf(i), i % 97, i * 0.25});
      for (const std::string& s : {CodeOf(i), NameOf(i), sw::IntToStr(i % 97), sw::FloatToStr(i * 0.25)})
        strings.push_back(sw::ui::ToQ(s));
    }
    ds.EnableControls();
    ds.First();
    for (std::size_t f = 0; f < ds.FieldCount(); ++f)
      ds.Fields(f).OnGetText = [this](sw::TField& field, std::string& text, bool) {
        ++texts;
        text = field.AsString();
      };
  }
};

Data& TheData() {
  static Data data;
  return data;
}

class PlainModel : public QAbstractTableModel {
 public:
  explicit PlainModel(const std::vector<QString>& s) : s_(s) {}
  int rowCount(const QModelIndex& = {}) const override { return kRows; }
  int columnCount(const QModelIndex& = {}) const override { return kCols; }
  QVariant data(const QModelIndex& i, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return s_[static_cast<std::size_t>(i.row()) * kCols + static_cast<std::size_t>(i.column())];
  }

 private:
  const std::vector<QString>& s_;
};

// One screen of the grid: build the grid and its model over the data set, lay it out and paint it.
void GridScreen(Data& d, QImage& img) {
  sw::TDBDataSource source;
  source.SetDataSet(&d.ds);
  sw::TDBGridEh grid(nullptr, "dgrdsearch");
  grid.SetDataSource(&source);
  for (const char* f : {"UserCode", "UserName", "Qty", "Amount"}) grid.AddColumn(f, std::string("用户|") + f);
  grid.resize(img.size());
  grid.render(&img);
}

void PlainScreen(Data& d, QImage& img) {
  PlainModel model(d.strings);
  QTableView view;
  view.setModel(&model);
  view.resize(img.size());
  view.render(&img);
}

void BM_GridOver100kRows_OneScreen(benchmark::State& state) {
  App();
  Data& d = TheData();
  QImage img(1024, 768, QImage::Format_ARGB32);
  d.texts = 0;
  for (auto _ : state) GridScreen(d, img);
  state.counters["texts"] = benchmark::Counter(d.texts, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GridOver100kRows_OneScreen)->Unit(benchmark::kMillisecond);

void BM_PlainTableViewOver100kRows_OneScreen(benchmark::State& state) {
  App();
  Data& d = TheData();
  QImage img(1024, 768, QImage::Format_ARGB32);
  for (auto _ : state) PlainScreen(d, img);
}
BENCHMARK(BM_PlainTableViewOver100kRows_OneScreen)->Unit(benchmark::kMillisecond);

// Both in one loop: "ratio" is the grid's time over the plain view's.
void BM_GridVersusPlainRatio(benchmark::State& state) {
  App();
  Data& d = TheData();
  QImage img(1024, 768, QImage::Format_ARGB32);
  using Clock = std::chrono::steady_clock;
  double grid = 0, plain = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    GridScreen(d, img);
    auto t1 = Clock::now();
    PlainScreen(d, img);
    auto t2 = Clock::now();
    grid += std::chrono::duration<double>(t1 - t0).count();
    plain += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["ratio"] = plain > 0 ? grid / plain : 0;
}
BENCHMARK(BM_GridVersusPlainRatio)->Unit(benchmark::kMillisecond);

}  // namespace
