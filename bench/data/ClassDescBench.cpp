// Writing and reading a class description of 60 properties with Chinese captions, in MB/s of stream bytes,
// next to two baselines measured in the same run: the GBK conversion of the same texts (both directions are
// part of every write and read) and a plain copy of the stream bytes. The "x_gbk" counter is our time over
// the conversion's time for the same description: what the layout, checks and allocations add. MB is 10^6
// bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "sw/core/CodePage.h"
#include "sw/data/USysDict.h"

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void FillLargeClass(sw::TSysClassDesc& d) {
  d.Rec().ClassID = 18062;
  d.Rec().ClassCaption = "库存查询";
  d.Rec().TableName = "tSkuStock";
  d.Rec().IndexFields = "OrgCode,PluCode";
  for (int i = 1; i <= 60; ++i) {
    auto& p = d.AddProp();
    p.PropId = i;
    p.Caption = "商品字段" + std::to_string(i);
    p.DataType = static_cast<std::uint8_t>(1 + i % 27);
    p.DispIndex = i - 1;
    p.TableName = "tSkuStock";
    p.FieldName = "Field" + std::to_string(i);
    p.MaxLength = 20;
    p.DispWidth = 12;
    p.EditKind = static_cast<std::uint8_t>(i % 5);
    p.Visible = p.InList = 1;
    p.DisplayFormat = i % 3 == 0 ? "#0.00" : "";
    p.DisplayCaption = i % 4 == 0 ? "显示名" + std::to_string(i) : "";
    p.DispOrder = i;
    if (p.EditKind >= 2) {
      p.RefTable = "tOrgManage";
      p.RefKeyField = "OrgCode";
      p.RefNameField = "OrgName";
      p.RefCondition = "&CURRTABLE&.OrgType=[机构类型]";
    }
  }
}

const sw::TSysClassDesc& Desc() {
  static const sw::TSysClassDesc* d = [] {
    static sw::TSysClassDesc desc;
    FillLargeClass(desc);
    return &desc;
  }();
  return *d;
}

const sw::Variant& Stream() {
  static const sw::Variant v = Desc().SaveToVariant(true);
  return v;
}

std::vector<std::string> Texts() {
  std::vector<std::string> t;
  for (const auto& p : Desc().Props()) {
    for (const std::string* s :
         {&p->Caption, &p->TableName, &p->FieldName, &p->DisplayFormat, &p->DisplayCaption, &p->RefTable,
          &p->RefKeyField, &p->RefNameField, &p->RefCondition}) {
      t.push_back(*s);
    }
  }
  return t;
}

// Seconds per description of the GBK conversion of all its texts, there and back, measured once per run.
double GbkSecondsPerDesc() {
  static const double seconds = [] {
    const std::vector<std::string> texts = Texts();
    const int rounds = 2000;
    const double start = CpuSeconds();
    for (int r = 0; r < rounds; ++r) {
      for (const auto& s : texts) {
        std::string gbk = sw::Utf8ToGbk(s);
        benchmark::DoNotOptimize(sw::GbkToUtf8(gbk));
      }
    }
    return (CpuSeconds() - start) / rounds;
  }();
  return seconds;
}

void Report(benchmark::State& state, double cpuSeconds) {
  const auto bytes = static_cast<std::int64_t>(Stream().AsBytes().bytes.size());
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["stream_bytes"] = static_cast<double>(bytes);
  const double perDesc = cpuSeconds / static_cast<double>(state.iterations());
  state.counters["x_gbk"] = perDesc / GbkSecondsPerDesc();
}

void BM_ClassDescSave(benchmark::State& state) {
  GbkSecondsPerDesc();
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(Desc().SaveToVariant(true));
  Report(state, CpuSeconds() - start);
}
BENCHMARK(BM_ClassDescSave);

void BM_ClassDescLoad(benchmark::State& state) {
  GbkSecondsPerDesc();
  sw::TSysClassDesc d;
  const double start = CpuSeconds();
  for (auto _ : state) {
    d.LoadFromVariant(Stream(), true);
    benchmark::DoNotOptimize(d.PropCount());
  }
  Report(state, CpuSeconds() - start);
}
BENCHMARK(BM_ClassDescLoad);

// Baselines.
void BM_GbkConversionOfTheTexts(benchmark::State& state) {
  const std::vector<std::string> texts = Texts();
  for (auto _ : state) {
    for (const auto& s : texts) {
      std::string gbk = sw::Utf8ToGbk(s);
      benchmark::DoNotOptimize(sw::GbkToUtf8(gbk));
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Stream().AsBytes().bytes.size()));
}
BENCHMARK(BM_GbkConversionOfTheTexts);

void BM_CopyStreamBytes(benchmark::State& state) {
  const auto& bytes = Stream().AsBytes().bytes;
  for (auto _ : state) {
    std::vector<std::uint8_t> copy(bytes);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_CopyStreamBytes);

}  // namespace
