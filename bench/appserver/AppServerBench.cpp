// End-to-end figures of the application server, each next to a baseline measured in the same run:
// - BM_SearchUsersEndToEnd: a search of 100,000 users (server SELECT, data packet, zlib, loopback, client
//   decompression and SetData), counter "x_sqlite3" = its time / the time of the sqlite3 command-line tool
//   running the same SELECT to /dev/null (goal: at most 1.5);
// - BM_SmallCall: the module's probe + a point read (GetPropValue), counter "x_roundtrip" = its time / one
//   loopback round trip of an empty call (goal: at most 2.5). The probe is that empty call: it is timed on
//   its own in every iteration, on the same connection and under the same load as the pair. Counter "x_bare"
//   = the pair's time / a bare loopback round trip (32 bytes, blocking send and receive between two threads,
//   no framing or dispatch), measured in the same run; BM_GetPropValueDispatched: the server's own work for
//   that point read (dispatched in the process, no network), against the round trip of an empty call;
// - BM_SmallCall with 8 threads: small calls per second of 8 clients, counter "calls_per_s" (goal: 40,000),
//   and "x_echo_pairs" = that rate / the rate of pairs of empty calls that 8 clients reach against the same
//   server (counter "echo_pairs_per_s"), "x_bare_pairs" = that rate / the pairs of bare loopback round trips
//   8 client threads reach against 8 echo threads (counter "bare_pairs_per_s"): the ceilings of this
//   machine, where clients and server share the cores. "cpu_us_per_pair": the process's CPU time per pair.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sw/appserver/AppServer.h"
#include "sw/appserver/ClassQuery.h"
#include "sw/appserver/Db.h"
#include "sw/common/PacketZip.h"
#include "sw/data/USysDict.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/dispatch/RemoteObject.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/dispatch/TcpServer.h"
#include "sw/server/CallNumbers.h"

namespace {

using namespace sw;
using namespace sw::appserver;
using Clock = std::chrono::steady_clock;

constexpr int kUsers = 100000;

// CPU time of the whole process (every thread, user and system).
double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Fixture {
  std::string dir, file;
  std::unique_ptr<AppServer> app;
  Dispatcher dispatcher;
  std::unique_ptr<TcpServer> tcp;
  std::string login;
  std::string selectSql;
  double sqliteCliSeconds = 0;
  double bareRoundTripSeconds = 0;

  Fixture() {
    dir = (std::filesystem::temp_directory_path() / ("sw-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    file = dir + "/bench.db";
    AppServerOptions o;
    o.database = "sqlite:" + file;
    o.demo = true;
    o.logFile = "/dev/null";  // the log line is written (and paid for), just not kept
    app = std::make_unique<AppServer>(o);
    app->Initialize();
    {
      auto db = app->Pool().Acquire();
      DbTransaction tx(*db);
      for (int i = 100; i < 100 + kUsers; ++i) {
        db->Execute(
            "INSERT INTO tUsrUser (UserId, UserCode, UserName, EmpId, OrgCode, UserType, IsLimited, "
            "IsActive, "
            "CreateDate, Remark) VALUES (?, ?, ?, ?, '0101', '0', '0', '1', '2020-01-01 08:00:00', ?)",
            {Variant(std::int64_t{i}), Variant("U" + std::to_string(i)), Variant("用户" + std::to_string(i)),
             Variant(std::int64_t{1 + i % 4}), Variant("备注 " + std::to_string(i))});
      }
      tx.Commit();
      selectSql = [&] {
        auto cls = app->Dictionary().Get(*db, 2002);
        const SelectPlan plan = BuildClassSelect(*cls, "", "IsActive='1'");
        return plan.select + plan.orderBy;
      }();
    }
    app->Register(dispatcher);
    dispatcher.Register("Echo", 1, [](CallContext&, std::vector<Variant>&) { return Variant(); });
    tcp = std::make_unique<TcpServer>(dispatcher);
    tcp->Start();
    RemoteObject icomm("127.0.0.1", tcp->Port(), std::string(kIcommObject));
    login = icomm.Call(kCallLogin, {"admin", "admin", ""}).AsArray().items[0].ToString();
    sqliteCliSeconds = MeasureSqliteCli();
    bareRoundTripSeconds = 1 / BareRoundTripsPerSecond(1);
  }
  ~Fixture() {
    tcp->Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // The sqlite3 tool running the server's SELECT to /dev/null: the best of five runs. The server keeps its
  // file to itself, so the tool reads a copy taken after a checkpoint (the same pages in the same order).
  double MeasureSqliteCli() const {
    const std::string copy = dir + "/cli.db";
    {
      auto db = app->Pool().Acquire();
      db->Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
    const std::string sqlFile = dir + "/select.sql";
    if (FILE* f = std::fopen(sqlFile.c_str(), "w")) {
      std::fputs((selectSql + ";\n").c_str(), f);
      std::fclose(f);
    }
    const std::string cmd = "sqlite3 " + copy + " < " + sqlFile + " > /dev/null";
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
      const auto t0 = Clock::now();
      if (std::system(cmd.c_str()) != 0) return 0;
      best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
  }

  // Bare loopback round trips per second of `clients` threads: each sends 32 bytes over its own TCP
  // connection on loopback (no delay) and waits for them to come back from an echo thread of its own, with
  // blocking sends and receives and no framing or dispatch: what the machine's loopback does at all with
  // that many callers. The best of three runs of a quarter second.
  static double BareRoundTripsPerSecond(int clients) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
    std::vector<asio::ip::tcp::socket> near, far;
    for (int c = 0; c < clients; ++c) {
      near.emplace_back(io).connect(acceptor.local_endpoint());
      far.push_back(acceptor.accept());
      near.back().set_option(asio::ip::tcp::no_delay(true));
      far.back().set_option(asio::ip::tcp::no_delay(true));
    }
    std::vector<std::thread> echoes;
    for (auto& socket : far) {
      echoes.emplace_back([&socket] {
        std::array<char, 32> b{};
        std::error_code ec;
        while (!ec) {
          asio::read(socket, asio::buffer(b), ec);
          if (!ec) asio::write(socket, asio::buffer(b), ec);
        }
      });
    }
    double best = 0;
    for (int run = 0; run < 3; ++run) {
      std::atomic<bool> stop{false};
      std::atomic<std::int64_t> trips{0};
      std::vector<std::thread> callers;
      const auto t0 = Clock::now();
      for (auto& socket : near) {
        callers.emplace_back([&socket, &stop, &trips] {
          std::array<char, 32> b{};
          std::int64_t n = 0;
          for (; !stop.load(std::memory_order_relaxed); ++n) {
            asio::write(socket, asio::buffer(b));
            asio::read(socket, asio::buffer(b));
          }
          trips += n;
        });
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      stop = true;
      for (auto& t : callers) t.join();
      best = std::max(best,
                      static_cast<double>(trips) / std::chrono::duration<double>(Clock::now() - t0).count());
    }
    for (auto& socket : near) socket.shutdown(asio::ip::tcp::socket::shutdown_both);
    for (auto& t : echoes) t.join();
    return best;
  }

  // One loopback round trip of an empty call: the best average over batches of 2,000.
  double MeasureRoundTrip() const {
    RemoteObject echo("127.0.0.1", tcp->Port(), "Echo");
    double best = 1e9;
    for (int b = 0; b < 5; ++b) {
      const auto t0 = Clock::now();
      for (int i = 0; i < 2000; ++i) echo.Call(1, {});
      best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count() / 2000);
    }
    return best;
  }

  // Pairs of empty calls per second of `clients` threads, each on its own connection: the best of three runs
  // of half a second.
  double MeasureEchoPairs(int clients) const {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
      std::vector<std::unique_ptr<RemoteObject>> echoes;
      for (int c = 0; c < clients; ++c)
        echoes.push_back(std::make_unique<RemoteObject>("127.0.0.1", tcp->Port(), "Echo"));
      std::atomic<bool> stop{false};
      std::atomic<std::int64_t> pairs{0};
      std::vector<std::thread> threads;
      const auto t0 = Clock::now();
      for (auto& echo : echoes) {
        threads.emplace_back([&stop, &pairs, e = echo.get()] {
          std::int64_t n = 0;
          while (!stop.load(std::memory_order_relaxed)) {
            e->Call(1, {});
            e->Call(1, {});
            ++n;
          }
          pairs += n;
        });
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      stop = true;
      for (auto& t : threads) t.join();
      const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      best = std::max(best, static_cast<double>(pairs) / seconds);
    }
    return best;
  }
};

Fixture& Bench() {
  static Fixture f;
  return f;
}

void BM_SearchUsersEndToEnd(benchmark::State& state) {
  Fixture& f = Bench();
  RemoteObject icomm("127.0.0.1", f.tcp->Port(), std::string(kIcommObject));
  TSysClassDesc header(nullptr, lt_PRC, 2002);
  const Variant desc = CompressPacket(header.SaveToVariant(false));
  std::int64_t rows = 0;
  for (auto _ : state) {
    const Variant reply = icomm.Call(rcSearchClassData, {"@" + f.login, desc, "", "", "IsActive='1'"});
    TClientDataSet ds;
    ds.SetData(DecompressPacket(reply.AsArray().items.at(0)));
    rows = ds.RecordCount();
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["sqlite3_s"] = f.sqliteCliSeconds;
  state.counters["x_sqlite3"] = benchmark::Counter(
      f.sqliteCliSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SearchUsersEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_SmallCall(benchmark::State& state) {
  Fixture& f = Bench();
  RemoteObject icomm("127.0.0.1", f.tcp->Port(), std::string(kIcommObject));
  auto pair = [&] {  // what the module sends for one point read on a held connection
    icomm.Call(rcCheckConnection, {});
    Variant status, value;
    icomm.Call(rcGetPropValue, {ByRef(status), f.login, "UserName", 2002, "UserId", "1", ByRef(value)});
    benchmark::DoNotOptimize(value);
  };
  if (state.threads() == 1) {
    // One client: the probe (an empty call) is timed apart from the point read that follows it, so the round
    // trip the pair is compared with is measured on the same connection, server thread and load. The
    // reported time is the pair's.
    double pairSeconds = 0, probeSeconds = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
      const auto t0 = Clock::now();
      icomm.Call(rcCheckConnection, {});
      const auto t1 = Clock::now();
      Variant status, value;
      icomm.Call(rcGetPropValue, {ByRef(status), f.login, "UserName", 2002, "UserId", "1", ByRef(value)});
      benchmark::DoNotOptimize(value);
      const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      state.SetIterationTime(seconds);
      pairSeconds += seconds;
      probeSeconds += std::chrono::duration<double>(t1 - t0).count();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["calls_per_s"] = iterations / pairSeconds;
    state.counters["x_roundtrip"] = pairSeconds / probeSeconds;
    state.counters["bare_rt_us"] = f.bareRoundTripSeconds * 1e6;
    state.counters["x_bare"] = pairSeconds / (iterations * f.bareRoundTripSeconds);
    state.counters["cpu_us_per_pair"] = (ProcessCpuSeconds() - cpuStart) * 1e6 / iterations;
    return;
  }
  // Several clients: the ceiling is measured right before the run; the other threads wait for the first at
  // the start of the loop.
  static double echoPairsPerSecond = 0, barePairsPerSecond = 0;
  if (state.thread_index() == 0) {
    echoPairsPerSecond = f.MeasureEchoPairs(state.threads());
    barePairsPerSecond = Fixture::BareRoundTripsPerSecond(state.threads()) / 2;
  }
  Clock::time_point start;
  double cpuStart = 0;
  for (auto _ : state) {
    if (start == Clock::time_point()) {
      start = Clock::now();
      cpuStart = ProcessCpuSeconds();
    }
    pair();
  }
  // The process's CPU time (clients and server) per pair, from the first thread's window (the threads start
  // and end together); only the first thread sets the counter, so the sum over the threads is its value.
  if (state.thread_index() == 0)
    state.counters["cpu_us_per_pair"] =
        (ProcessCpuSeconds() - cpuStart) * 1e6 / (static_cast<double>(state.iterations()) * state.threads());
  const double perSecond =
      static_cast<double>(state.iterations()) / std::chrono::duration<double>(Clock::now() - start).count();
  state.counters["calls_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x_echo_pairs"] = perSecond / echoPairsPerSecond;  // summed over the threads
  state.counters["echo_pairs_per_s"] =
      benchmark::Counter(echoPairsPerSecond, benchmark::Counter::kAvgThreads);
  state.counters["x_bare_pairs"] = perSecond / barePairsPerSecond;  // summed over the threads
  state.counters["bare_pairs_per_s"] =
      benchmark::Counter(barePairsPerSecond, benchmark::Counter::kAvgThreads);
}
BENCHMARK(BM_SmallCall)->UseManualTime()->MinTime(2);
BENCHMARK(BM_SmallCall)->UseRealTime()->Threads(8)->MinTime(2);

// The server's own work for the point read of BM_SmallCall, without the network: the call dispatched in the
// process, counter "x_roundtrip" = its time / one loopback round trip of an empty call.
void BM_GetPropValueDispatched(benchmark::State& state) {
  Fixture& f = Bench();
  const double roundTripSeconds = f.MeasureRoundTrip();
  const CallFrame call{1,
                       std::string(kIcommObject),
                       rcGetPropValue,
                       {{Variant(), true},
                        {Variant(f.login), false},
                        {Variant("UserName"), false},
                        {Variant(2002), false},
                        {Variant("UserId"), false},
                        {Variant("1"), false},
                        {Variant(), true}}};
  const auto start = Clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(f.dispatcher.Dispatch(call, 1, "127.0.0.1:1"));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  state.counters["x_roundtrip"] = seconds / (static_cast<double>(state.iterations()) * roundTripSeconds);
}
BENCHMARK(BM_GetPropValueDispatched)->Unit(benchmark::kMicrosecond)->MinTime(1);

}  // namespace
