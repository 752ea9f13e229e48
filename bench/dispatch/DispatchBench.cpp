// Cost of remote calls next to baselines measured in the same run, interleaved iteration by iteration so that
// a busy shared machine affects both alike:
//   - the codec against copying the same number of bytes twice (what any framing must at least do);
//   - a call through RemoteObject and TcpServer against a raw blocking TCP exchange of frames of the same
//     sizes with an echo thread (the difference is the codec, dispatch, thread pool and timeouts).
// Each benchmark reports ours_us, baseline_us (per operation, wall time) and ratio = ours / baseline.
#include <benchmark/benchmark.h>

#include <asio.hpp>
#include <chrono>
#include <cstring>
#include <thread>

#include "sw/dispatch/Dispatcher.h"
#include "sw/dispatch/RemoteObject.h"
#include "sw/dispatch/TcpServer.h"
#include "sw/dispatch/Wire.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  double ours = 0, baseline = 0;
  std::int64_t n = 0;
  template <class Ours, class Base>
  void Step(Ours&& ours_, Base&& base_) {
    auto t0 = Clock::now();
    ours_();
    auto t1 = Clock::now();
    base_();
    auto t2 = Clock::now();
    ours += std::chrono::duration<double, std::micro>(t1 - t0).count();
    baseline += std::chrono::duration<double, std::micro>(t2 - t1).count();
    ++n;
  }
  void Report(benchmark::State& state) const {
    if (n == 0) return;
    state.counters["ours_us"] = ours / static_cast<double>(n);
    state.counters["baseline_us"] = baseline / static_cast<double>(n);
    state.counters["ratio"] = baseline > 0 ? ours / baseline : 0;
  }
};

sw::Variant Packet(std::size_t bytes) {
  std::string b(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i) b[i] = static_cast<char>(i * 131 + 7);
  return sw::Variant::Bytes(b);
}

// A call as the search sends it: login, a packet, three texts; plus a 1000-element variant array.
sw::CallFrame SearchLikeCall(std::size_t packetBytes) {
  std::vector<sw::Variant> items;
  for (int i = 0; i < 1000; ++i)
    items.emplace_back(i % 2 ? sw::Variant(std::int32_t{i}) : sw::Variant("名称"));
  return sw::CallFrame{1,
                       "Icomm",
                       304,
                       {{sw::Variant("@L-1"), false},
                        {Packet(packetBytes), false},
                        {sw::Variant("UserID,UserName"), false},
                        {sw::Variant("IsActive='0'"), false},
                        {sw::Variant::Array(std::move(items)), true}}};
}

void BM_CallCodec(benchmark::State& state) {
  const sw::CallFrame call = SearchLikeCall(static_cast<std::size_t>(state.range(0)));
  const std::size_t size = sw::EncodeCall(call).size();
  std::string source(size, 'x'), copy1, copy2;
  Timing t;
  for (auto _ : state) {
    t.Step(
        [&] {
          std::string payload = sw::EncodeCall(call);
          benchmark::DoNotOptimize(sw::DecodeCall(payload));
        },
        [&] {
          copy1.assign(source);
          copy2.assign(copy1);
          benchmark::DoNotOptimize(copy2.data());
        });
  }
  t.Report(state);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_CallCodec)->Arg(1024)->Arg(1 << 20)->UseRealTime();

// A raw echo peer: reads a length-prefixed frame and answers a frame of `replyBytes`.
class RawEcho {
 public:
  explicit RawEcho(std::size_t replyBytes)
      : reply_(sw::FrameHeader(replyBytes) + std::string(replyBytes, 'r')) {
    asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    acceptor_.open(endpoint.protocol());
    acceptor_.bind(endpoint);
    acceptor_.listen();
    thread_ = std::thread([this] {
      asio::ip::tcp::socket s(io_);
      acceptor_.accept(s);
      s.set_option(asio::ip::tcp::no_delay(true));
      std::error_code ec;
      std::string body;
      for (;;) {
        std::uint8_t header[sw::kFrameHeaderSize];
        asio::read(s, asio::buffer(header), ec);
        if (ec) return;
        body.resize(sw::ParseFrameHeader(header, sw::kDefaultMaxFrameSize));
        asio::read(s, asio::buffer(body), ec);
        if (ec) return;
        asio::write(s, asio::buffer(reply_), ec);
        if (ec) return;
      }
    });
    client_.connect(acceptor_.local_endpoint());
    client_.set_option(asio::ip::tcp::no_delay(true));
  }
  ~RawEcho() {
    std::error_code ec;
    client_.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
    client_.close(ec);
    thread_.join();
  }
  void Exchange(const std::string& frame) {
    asio::write(client_, asio::buffer(frame));
    std::uint8_t header[sw::kFrameHeaderSize];
    asio::read(client_, asio::buffer(header));
    in_.resize(sw::ParseFrameHeader(header, sw::kDefaultMaxFrameSize));
    asio::read(client_, asio::buffer(in_));
  }

 private:
  std::string reply_;
  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_{io_};
  asio::ip::tcp::socket client_{io_};
  std::thread thread_;
  std::string in_;
};

void BM_LoopbackCall(benchmark::State& state) {
  const std::size_t replyBytes = static_cast<std::size_t>(state.range(0));
  const sw::Variant reply = Packet(replyBytes);
  sw::Dispatcher dispatcher;
  dispatcher.Register("Icomm", 303, [&](sw::CallContext&, std::vector<sw::Variant>&) { return reply; });
  sw::TcpServer server(dispatcher);
  server.Start();
  sw::RemoteObject object("127.0.0.1", server.Port(), "Icomm");

  // The baseline moves frames of the same sizes as the real call and reply.
  const sw::CallFrame call{1, "Icomm", 303, {{sw::Variant("L-1"), false}, {sw::Variant("UserID=7"), false}}};
  const std::string callPayload = sw::EncodeCall(call);
  const std::size_t replySize = sw::EncodeReply(sw::ReplyFrame{1, false, "", reply, {}}).size();
  RawEcho echo(replySize);
  const std::string callFrame = sw::FrameHeader(callPayload.size()) + callPayload;

  Timing t;
  for (auto _ : state) {
    t.Step(
        [&] {
          benchmark::DoNotOptimize(object.Call(303, {"L-1", "UserID=7"}));
        },
        [&] { echo.Exchange(callFrame); });
  }
  t.Report(state);
}
BENCHMARK(BM_LoopbackCall)->Arg(16)->Arg(1 << 20)->UseRealTime();

}  // namespace
