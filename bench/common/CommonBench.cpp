// Throughput of the text protection and the packet compression, each next to a baseline measured in the same
// run: the bare DES block function for EncryptToHex (the rest is key schedule, padding and hex), and zlib's
// one-shot level-1 compress2/uncompress for the packet functions (the difference is the variant wrapping and
// the growing output buffer; a ratio near 1 is the goal). Every benchmark reports MB/s; ours also report the
// baseline's MB/s and the ratio. MB counts 10^6 bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "sw/common/PacketZip.h"
#include "sw/common/UDesCrypt.h"
#include "sw/common/UString.h"

namespace {

// CPU time of this thread: the machine may be shared, and the baselines must be measured like ours.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A 100-byte SQL text of the kind the purge screens protect.
const std::string& SqlText() {
  static const std::string text = [] {
    std::string s =
        "delete from tUsrUser where UserID=1234567890 and IsActive='0' and OrgCode='0101' and UserCode='A1'";
    s.resize(100, ' ');
    return s;
  }();
  return text;
}

// About 20 MB of rows like those of a user list packet: codes, names, flags, dates, amounts.
const std::vector<std::uint8_t>& TablePacket() {
  static const std::vector<std::uint8_t> bytes = [] {
    const std::size_t size = 20u * 1000 * 1000;
    std::vector<std::uint8_t> b;
    b.reserve(size + 128);
    std::uint32_t seed = 12345;
    for (std::size_t row = 0; b.size() < size; ++row) {
      seed = seed * 1103515245u + 12345u;
      const std::string line = std::to_string(100000 + row) + "\tU" + std::to_string(row % 5000) + "\t用户" +
                               std::to_string(seed % 997) + "\t0101\t" + ((seed >> 8) % 2 ? "1" : "0") +
                               "\t2010-02-" + std::to_string(10 + (seed >> 12) % 18) + " 14:03:09\t" +
                               std::to_string((seed >> 4) % 100000) + ".00\n";
      b.insert(b.end(), line.begin(), line.end());
    }
    b.resize(size);
    return b;
  }();
  return bytes;
}

std::vector<std::uint8_t> RawCompress(const std::vector<std::uint8_t>& in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  std::vector<std::uint8_t> out(size);
  compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 1);
  out.resize(size);
  return out;
}

std::vector<std::uint8_t> RawUncompress(const std::vector<std::uint8_t>& in, std::size_t inflated) {
  std::vector<std::uint8_t> out(inflated);
  uLongf size = static_cast<uLongf>(out.size());
  uncompress(out.data(), &size, in.data(), static_cast<uLong>(in.size()));
  out.resize(size);
  return out;
}

const std::vector<std::uint8_t>& ZippedPacket() {
  static const std::vector<std::uint8_t> zipped = RawCompress(TablePacket());
  return zipped;
}

// MB/s of `fn` over `bytes` per call, run in batches of `batch` calls for at least `minSeconds` of CPU time.
double MeasureMBps(void (*fn)(), std::size_t bytes, double minSeconds, int batch) {
  std::size_t calls = 0;
  const double start = CpuSeconds();
  double elapsed = 0;
  do {
    for (int i = 0; i < batch; ++i) fn();
    calls += static_cast<std::size_t>(batch);
    elapsed = CpuSeconds() - start;
  } while (elapsed < minSeconds);
  return static_cast<double>(bytes) * static_cast<double>(calls) / elapsed / 1e6;
}

void Report(benchmark::State& state, std::size_t bytesPerCall, double oursSeconds, double baselineMBps) {
  const double ours =
      static_cast<double>(bytesPerCall) * static_cast<double>(state.iterations()) / oursSeconds / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerCall));
  state.counters["MB/s"] = ours;
  state.counters["baseline_MB/s"] = baselineMBps;
  state.counters["ratio"] = ours / baselineMBps;
}

// Baseline of EncryptToHex: the bare block function over the same number of blocks, key set once.
void DesBlocksOfText() {
  static const sw::TUDesCrypt des = [] {
    sw::TUDesCrypt d;
    d.SetKey(sw::TUDesCrypt::FoldKey(sw::kProtectionKey));
    return d;
  }();
  const std::string& text = SqlText();
  std::uint64_t acc = 0;
  for (std::size_t at = 0; at < text.size(); at += 8) {
    std::uint64_t block = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      block = (block << 8) | (at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u);
    }
    acc ^= des.EncryptBlock(block);
  }
  benchmark::DoNotOptimize(acc);
}

void BM_DesRawBlocks(benchmark::State& state) {
  for (auto _ : state) DesBlocksOfText();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SqlText().size()));
}

void BM_DesEncryptToHex(benchmark::State& state) {
  const double start = CpuSeconds();
  for (auto _ : state) {
    sw::TUDesCrypt des;
    benchmark::DoNotOptimize(des.EncryptToHex(SqlText(), sw::kProtectionKey));
  }
  const double seconds = CpuSeconds() - start;
  Report(state, SqlText().size(), seconds, MeasureMBps(&DesBlocksOfText, SqlText().size(), 0.5, 1000));
}

void BM_EncryptText(benchmark::State& state) {
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(sw::EncryptText(SqlText()));
  const double seconds = CpuSeconds() - start;
  Report(state, SqlText().size(), seconds, MeasureMBps(&DesBlocksOfText, SqlText().size(), 0.5, 1000));
}

void RawCompressOnce() {
  benchmark::DoNotOptimize(RawCompress(TablePacket()));
}
void RawUncompressOnce() {
  benchmark::DoNotOptimize(RawUncompress(ZippedPacket(), TablePacket().size()));
}

void BM_ZlibCompress2Level1(benchmark::State& state) {
  for (auto _ : state) RawCompressOnce();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TablePacket().size()));
}

void BM_CompressPacket(benchmark::State& state) {
  const sw::Variant packet = sw::Variant::Bytes(TablePacket());
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(sw::CompressPacket(packet));
  const double seconds = CpuSeconds() - start;
  Report(state, TablePacket().size(), seconds, MeasureMBps(&RawCompressOnce, TablePacket().size(), 0.5, 1));
}

void BM_ZlibUncompress(benchmark::State& state) {
  for (auto _ : state) RawUncompressOnce();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TablePacket().size()));
}

void BM_DecompressPacket(benchmark::State& state) {
  const sw::Variant zipped = sw::Variant::Bytes(ZippedPacket());
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(sw::DecompressPacket(zipped));
  const double seconds = CpuSeconds() - start;
  // Throughput counts the inflated bytes, as the baseline does.
  Report(state, TablePacket().size(), seconds, MeasureMBps(&RawUncompressOnce, TablePacket().size(), 0.5, 1));
  state.counters["compressed_bytes"] = static_cast<double>(ZippedPacket().size());
}

BENCHMARK(BM_DesRawBlocks);
BENCHMARK(BM_DesEncryptToHex);
BENCHMARK(BM_EncryptText);
BENCHMARK(BM_ZlibCompress2Level1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressPacket)->Unit(benchmark::kMillisecond);

}  // namespace
