// Client data set speed and size on a 100,000-row, 8-column packet (integers, texts with Chinese, dates, a
// currency): encode (GetData), decode and load (SetData), re-sort by a two-field index, and the delta of
// 1,000 edits, each next to a memcpy of the same packet bytes measured in the same run (counter x_memcpy: how
// many memcpy times the operation takes). Size counters compare the packet with the same rows as
// tab-separated text and the loaded data set's bytes with the packet: bytes_per_row counts the data set's own
// buffers, heap_bytes_per_row what the allocator holds for it once loaded.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <time.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"

namespace {

// Times are this thread's CPU time, so that other processes on a shared machine do not inflate them; each
// benchmark reports the measured section alone (manual time).
struct CpuClock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<CpuClock, duration>;
  static time_point now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return time_point(duration(static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec));
  }
};

constexpr int kRows = 100000;

struct Sample {
  sw::Variant packet;
  std::size_t packetBytes = 0;
  std::size_t tsvBytes = 0;
  double memcpySeconds = 0;  // one copy of the packet bytes
};

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴", "欧阳", "司马"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强",
                              "磊", "军", "洋", "勇", "艳", "杰", "涛"};

const Sample& GetSample() {
  static const Sample sample = [] {
    Sample s;
    sw::PacketWriter w;
    w.AddField("UserID", sw::TFieldType::ftInteger);
    w.AddField("UserCode", sw::TFieldType::ftString, 20);
    w.AddField("UserName", sw::TFieldType::ftString, 40);
    w.AddField("OrgID", sw::TFieldType::ftInteger);
    w.AddField("Status", sw::TFieldType::ftSmallint);
    w.AddField("Born", sw::TFieldType::ftDate);
    w.AddField("LastLogin", sw::TFieldType::ftDateTime);
    w.AddField("Salary", sw::TFieldType::ftCurrency);
    std::mt19937 rng(42);
    std::string tsv;
    for (int i = 0; i < kRows; ++i) {
      std::string code = "U" + sw::PadNumber(i + 1, 7);
      std::string name = std::string(kSurnames[rng() % 12]) + kGiven[rng() % 14];
      if (rng() % 2) name += kGiven[rng() % 14];
      int org = 1 + static_cast<int>(rng() % 60);
      int status = static_cast<int>(rng() % 3);
      double born = sw::EncodeDate(1960, 1, 1) + static_cast<double>(rng() % 15000);
      double login = sw::EncodeDate(2024, 1, 1) + static_cast<double>(rng() % 300) +
                     static_cast<double>(rng() % 86400) / 86400.0;
      login = static_cast<double>(std::llround(login * 86400000.0)) / 86400000.0;
      sw::Currency salary{static_cast<std::int64_t>(300000 + rng() % 2000000) * 100};
      w.AddInt(i + 1);
      w.AddText(code);
      w.AddText(name);
      w.AddInt(org);
      w.AddInt(status);
      w.AddDateTime(born);
      w.AddDateTime(login);
      w.AddCurrency(salary);
      w.EndRow();
      tsv += sw::IntToStr(i + 1) + "\t" + code + "\t" + name + "\t" + sw::IntToStr(org) + "\t" +
             sw::IntToStr(status) + "\t" + sw::DateToStr(born) + "\t" + sw::DateTimeToStr(login) + "\t" +
             salary.ToString() + "\n";
    }
    s.packet = w.FinishVariant();
    s.packetBytes = s.packet.AsBytes().bytes.size();
    s.tsvBytes = tsv.size();
    // The baseline: the best of several copies of the same bytes.
    std::vector<std::uint8_t> dst(s.packetBytes);
    double best = 1e9;
    for (int k = 0; k < 50; ++k) {
      auto t0 = CpuClock::now();
      std::memcpy(dst.data(), s.packet.AsBytes().bytes.data(), s.packetBytes);
      benchmark::DoNotOptimize(dst.data());
      benchmark::ClobberMemory();
      best = std::min(best, std::chrono::duration<double>(CpuClock::now() - t0).count());
    }
    s.memcpySeconds = best;
    return s;
  }();
  return sample;
}

// Bytes the allocator has handed out and not got back (heap and mapped blocks).
std::size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void Report(benchmark::State& state, double seconds, std::size_t rowsPerIteration) {
  const Sample& s = GetSample();
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(rowsPerIteration) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["x_memcpy"] = seconds / static_cast<double>(state.iterations()) / s.memcpySeconds;
}

double Seconds(CpuClock::time_point t0) {
  return std::chrono::duration<double>(CpuClock::now() - t0).count();
}

void BM_MemcpyPacket(benchmark::State& state) {
  const Sample& s = GetSample();
  std::vector<std::uint8_t> dst(s.packetBytes);
  double total = 0;
  for (auto _ : state) {
    auto t0 = CpuClock::now();
    std::memcpy(dst.data(), s.packet.AsBytes().bytes.data(), s.packetBytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
    double took = Seconds(t0);
    total += took;
    state.SetIterationTime(took);
  }
  Report(state, total, kRows);
  state.counters["packet_bytes"] = static_cast<double>(s.packetBytes);
  state.counters["tsv_bytes"] = static_cast<double>(s.tsvBytes);
  state.counters["packet_vs_tsv"] = static_cast<double>(s.packetBytes) / static_cast<double>(s.tsvBytes);
}
BENCHMARK(BM_MemcpyPacket)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SetData(benchmark::State& state) {
  const Sample& s = GetSample();
  double total = 0;
  std::size_t memory = 0;
  double peakHeap = 0;
  for (auto _ : state) {
    std::size_t heap0 = HeapInUse();
    sw::TClientDataSet ds;
    auto t0 = CpuClock::now();
    ds.SetData(s.packet);
    double took = Seconds(t0);
    total += took;
    state.SetIterationTime(took);
    memory = ds.MemoryBytes();
    peakHeap = std::max(peakHeap, static_cast<double>(HeapInUse()) - static_cast<double>(heap0));
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  Report(state, total, kRows);
  state.counters["bytes_per_row"] = static_cast<double>(memory) / kRows;
  state.counters["heap_bytes_per_row"] = peakHeap / kRows;
  state.counters["packet_bytes_per_row"] = static_cast<double>(s.packetBytes) / kRows;
  state.counters["memory_vs_packet"] = static_cast<double>(memory) / static_cast<double>(s.packetBytes);
}
BENCHMARK(BM_SetData)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_GetData(benchmark::State& state) {
  const Sample& s = GetSample();
  sw::TClientDataSet ds;
  ds.SetData(s.packet);
  double total = 0;
  for (auto _ : state) {
    auto t0 = CpuClock::now();
    sw::Variant out = ds.GetData();
    double took = Seconds(t0);
    total += took;
    state.SetIterationTime(took);
    benchmark::DoNotOptimize(out.AsBytes().bytes.data());
  }
  Report(state, total, kRows);
}
BENCHMARK(BM_GetData)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ResortTwoFieldIndex(benchmark::State& state) {
  const Sample& s = GetSample();
  sw::TClientDataSet ds;
  ds.SetData(s.packet);
  double total = 0;
  bool flip = false;
  for (auto _ : state) {
    auto t0 = CpuClock::now();
    ds.SetIndexFieldNames(flip ? "OrgID;Born" : "Status;UserName");
    double took = Seconds(t0);
    total += took;
    state.SetIterationTime(took);
    flip = !flip;
  }
  Report(state, total, kRows);
}
BENCHMARK(BM_ResortTwoFieldIndex)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DeltaOf1000Edits(benchmark::State& state) {
  const Sample& s = GetSample();
  double total = 0;
  std::size_t deltaBytes = 0;
  for (auto _ : state) {
    sw::TClientDataSet ds;
    ds.SetData(s.packet);
    auto t0 = CpuClock::now();
    for (int i = 0; i < 1000; ++i) {
      ds.SetRecNo(1 + i * 97);
      ds.Edit();
      ds.FieldByName("UserName").SetValue("改名" + std::to_string(i));
      ds.FieldByName("Salary").SetValue(sw::Currency::FromUnits(i));
      ds.Post();
    }
    sw::Variant delta = ds.GetDelta();
    double took = Seconds(t0);
    total += took;
    state.SetIterationTime(took);
    deltaBytes = delta.AsBytes().bytes.size();
  }
  state.counters["edits_per_s"] =
      benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / GetSample().memcpySeconds;
  state.counters["delta_bytes"] = static_cast<double>(deltaBytes);
}
BENCHMARK(BM_DeltaOf1000Edits)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
