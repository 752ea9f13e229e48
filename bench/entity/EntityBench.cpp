// The entity's own work next to baselines measured in the same run:
//  - loading a 10,000-row packet with SetClassData (field binding, text handlers, column rights) against a
//    plain client data set loading the same packet; "x_plain" is our CPU time over the plain load's;
//  - translating a condition of 24 clauses written with captions against splitting and joining the same text
//    at its blanks; "x_split" is our CPU time over that baseline's.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

#include "sw/core/Text.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/Packet.h"
#include "sw/hostvars/HostVars.h"

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void FillClass(sw::TSysClassDesc& d) {
  d.Rec().ClassID = 2002;
  d.Rec().ClassCaption = "用户";
  d.Rec().TableName = "tUsrUser";
  const char* fields[] = {"UserId", "UserCode", "UserName", "OrgCode", "Amount"};
  const char* captions[] = {"用户ID", "用户编码", "用户名称", "所属组织", "金额"};
  const int types[] = {16, 1, 1, 1, 13};
  for (int i = 0; i < 5; ++i) {
    auto& p = d.AddProp();
    p.PropId = i + 1;
    p.FieldName = fields[i];
    p.Caption = captions[i];
    p.DataType = static_cast<std::uint8_t>(types[i]);
  }
}

const sw::Variant& Rows() {
  static const sw::Variant packet = [] {
    sw::PacketWriter w;
    w.AddField("UserId", sw::TFieldType::ftLargeint);
    w.AddField("UserCode", sw::TFieldType::ftString, 20);
    w.AddField("UserName", sw::TFieldType::ftString, 40);
    w.AddField("OrgCode", sw::TFieldType::ftString, 20);
    w.AddField("Amount", sw::TFieldType::ftFloat);
    for (int i = 0; i < 10000; ++i) {
      w.AddInt(i);
      w.AddText("U" + std::to_string(i));
      w.AddText("用户" + std::to_string(i));
      w.AddText(i % 2 ? "0101" : "0102");
      w.AddFloat(i * 1.5);
      w.EndRow();
    }
    return w.FinishVariant();
  }();
  return packet;
}

const std::string& Condition() {
  static const std::string text = [] {
    std::string c;
    for (int i = 0; i < 6; ++i) {
      if (i > 0) c += " OR ";
      c += "([用户编码]='U" + std::to_string(i) + "' AND [用户.用户名称] LIKE '用户 " + std::to_string(i) +
           "%' AND ([金额]>=" + std::to_string(i) + " OR UserId<>#tUsrUser.OrgCode#))";
    }
    return c;
  }();
  return text;
}

double PlainLoadSeconds() {
  static const double seconds = [] {
    sw::TClientDataSet ds;
    Rows();  // built before the clock starts
    const int rounds = 200;
    const double start = CpuSeconds();
    for (int r = 0; r < rounds; ++r) ds.SetData(Rows());
    return (CpuSeconds() - start) / rounds;
  }();
  return seconds;
}

double SplitSeconds() {
  static const double seconds = [] {
    Condition();  // built before the clock starts
    const int rounds = 20000;
    const double start = CpuSeconds();
    for (int r = 0; r < rounds; ++r) benchmark::DoNotOptimize(sw::Join(sw::Split(Condition(), ' '), " "));
    return (CpuSeconds() - start) / rounds;
  }();
  return seconds;
}

void BM_SetClassData(benchmark::State& state) {
  PlainLoadSeconds();
  auto rights = std::make_shared<sw::TClientDataSet>();
  rights->AddFieldDef("ClassID", sw::TFieldType::ftInteger);
  rights->AddFieldDef("PropId", sw::TFieldType::ftInteger);
  rights->CreateDataSet();
  rights->AppendRecord({std::int32_t{2002}, std::int32_t{5}});
  sw::SetCdsList("ColRight", rights);
  sw::TSysClassEntity e(2002);
  FillClass(e.ClassDesc());
  e.Initialized = true;
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(e.SetClassData(Rows()));
  state.counters["x_plain"] =
      (CpuSeconds() - start) / static_cast<double>(state.iterations()) / PlainLoadSeconds();
  sw::SetCdsList("ColRight", nullptr);
}
BENCHMARK(BM_SetClassData)->Unit(benchmark::kMillisecond);

void BM_TranslateWhere(benchmark::State& state) {
  SplitSeconds();
  sw::TSysClassEntity e(2002);
  FillClass(e.ClassDesc());
  e.Initialized = true;
  const double start = CpuSeconds();
  for (auto _ : state) {
    e.TranslateWhere(Condition());
    benchmark::DoNotOptimize(e.TranslatedWhere.data());
  }
  state.counters["x_split"] =
      (CpuSeconds() - start) / static_cast<double>(state.iterations()) / SplitSeconds();
}
BENCHMARK(BM_TranslateWhere);

// Baselines.
void BM_PlainSetData(benchmark::State& state) {
  sw::TClientDataSet ds;
  for (auto _ : state) ds.SetData(Rows());
}
BENCHMARK(BM_PlainSetData)->Unit(benchmark::kMillisecond);

void BM_SplitAndJoinCondition(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(sw::Join(sw::Split(Condition(), ' '), " "));
}
BENCHMARK(BM_SplitAndJoinCondition);

}  // namespace
