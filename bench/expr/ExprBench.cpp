// Speed of the formula language as the data layer uses it: each use creates an evaluator, adds the current
// record's data item, evaluates one text and frees it. Every figure also reports `x_baseline`: its time per
// use (CPU time) divided by the time of evaluating the constant "1" on a reused evaluator, measured in the
// same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "sw/core/Text.h"
#include "sw/expr/SysExpression.h"

namespace {

// The current record of a data set: three members.
class RecordItem : public sw::TDataItem {
 public:
  explicit RecordItem(sw::TSysExpression& owner) : TDataItem(owner, "C1001") {
    members_["QTY"] = sw::Variant(std::int32_t{3});
    members_["PRICE"] = sw::Variant(12.5);
    members_["AMOUNT"] = sw::Variant(0.0);
  }
  bool FindMember(std::string_view name) override { return members_.count(sw::UpperCase(name)) != 0; }
  void GetMemberValue(std::string_view name, sw::Variant& value) override {
    value = members_.at(sw::UpperCase(name));
  }
  void SetMemberValue(std::string_view name, const sw::Variant& value) override {
    members_[sw::UpperCase(name)] = value;
  }
  bool IsOpen() const override { return true; }

 private:
  std::map<std::string, sw::Variant> members_;
};

constexpr const char* kDisplayFormat = "IIF(QTY * PRICE >= 1000, \"#,##0.00\", \"#0.0000\")";
constexpr const char* kThreeAssignments = "QTY = 4, PRICE = ROUND(PRICE * 1.13, 2), AMOUNT = QTY * PRICE";

// CPU time of this thread: the ratios stay meaningful on a machine shared with other work.
double NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Nanoseconds of one Evaluate("1") on a reused evaluator, measured once per run.
double BaselineNs() {
  static const double ns = [] {
    sw::TSysExpression e;
    sw::Variant v;
    constexpr int kRounds = 200000;
    for (int i = 0; i < 1000; ++i) e.Evaluate(v, "1");
    const double start = NowNs();
    for (int i = 0; i < kRounds; ++i) {
      e.Evaluate(v, "1");
      benchmark::DoNotOptimize(v);
    }
    return (NowNs() - start) / kRounds;
  }();
  return ns;
}

template <class Body>
void RunPerUse(benchmark::State& state, Body body) {
  const double baseline = BaselineNs();
  const double start = NowNs();
  for (auto _ : state) body();
  const double perUse = (NowNs() - start) / static_cast<double>(state.iterations());
  state.counters["uses_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x_baseline"] = perUse / baseline;
}

void BM_EvaluateDisplayFormat(benchmark::State& state) {
  RunPerUse(state, [] {
    sw::TSysExpression e;
    e.AddDataItem(std::make_unique<RecordItem>(e));
    sw::Variant v;
    if (!e.Evaluate(v, kDisplayFormat)) std::abort();
    benchmark::DoNotOptimize(v);
  });
}
BENCHMARK(BM_EvaluateDisplayFormat);

void BM_ExecuteThreeAssignments(benchmark::State& state) {
  RunPerUse(state, [] {
    sw::TSysExpression e;
    e.AddDataItem(std::make_unique<RecordItem>(e));
    if (!e.Execute(kThreeAssignments)) std::abort();
  });
}
BENCHMARK(BM_ExecuteThreeAssignments);

// The display format on one evaluator reused: the parse and evaluation alone, without creating the evaluator.
void BM_EvaluateDisplayFormatReused(benchmark::State& state) {
  sw::TSysExpression e;
  e.AddDataItem(std::make_unique<RecordItem>(e));
  RunPerUse(state, [&e] {
    sw::Variant v;
    e.Evaluate(v, kDisplayFormat);
    benchmark::DoNotOptimize(v);
  });
}
BENCHMARK(BM_EvaluateDisplayFormatReused);

}  // namespace
