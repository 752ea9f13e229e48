#include "sw/dispatch/RemoteObject.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "sw/core/Error.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/dispatch/TcpServer.h"
#include "sw/testing/TestServer.h"

namespace sw {
namespace {

using testing::RawReplyServer;
using testing::RecordedCall;
using testing::TestServer;

class RemoteObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { server.Start(); }
  RemoteObject Connect(std::string_view object = kIcommObject) {
    return RemoteObject("127.0.0.1", server.Port(), std::string(object));
  }
  TestServer server;
};

TEST_F(RemoteObjectTest, ArgumentsArriveInOrderAndByReferenceValuesComeBack) {
  server.On("Icomm", 341, [](const RecordedCall&, std::vector<Variant>& args) {
    args[1] = Variant("no error");
    args[4] = Variant(std::int32_t{3});
    args[0] = Variant("ignored: passed by value");
    return Variant(std::int32_t{1});
  });
  RemoteObject icomm = Connect(kIcommClassId);
  Variant text;
  Variant count(std::int32_t{1});
  Variant result = icomm.Call(341, {"LOGIN", ByRef(text), std::int32_t{2002}, 45000.5, ByRef(count)});

  EXPECT_EQ(result, Variant(std::int32_t{1}));
  EXPECT_EQ(text, Variant("no error"));
  EXPECT_EQ(count, Variant(std::int32_t{3}));
  ASSERT_EQ(server.CountOf(341), 1u);
  RecordedCall call = server.CallsOf(341)[0];
  EXPECT_EQ(call.object, "Icomm");  // the class identifier resolved to the object
  EXPECT_EQ(call.args,
            (std::vector<Variant>{"LOGIN", Variant(), std::int32_t{2002}, 45000.5, std::int32_t{1}}));
  EXPECT_EQ(call.byRef, (std::vector<bool>{false, true, false, false, true}));
}

TEST_F(RemoteObjectTest, FaultsRaiseExactlyTheirTextAndKeepTheConnection) {
  server.Fault("Icomm", 302, "类 2002 不存在");
  RemoteObject icomm = Connect();
  try {
    icomm.Call(302, {"L", std::int32_t{2002}, std::int32_t{1}});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "类 2002 不存在");
  }
  EXPECT_TRUE(icomm.IsConnected());
  EXPECT_NO_THROW(icomm.Call(307, {}));
  EXPECT_EQ(server.Accepted(), 1u);
}

TEST(RemoteObject, UnknownObjectOrNumberIsAnErrorOfTheCall) {
  Dispatcher d;
  d.Register("Icomm", 307, [](CallContext&, std::vector<Variant>&) { return Variant(std::int16_t{0}); });
  TcpServer server(d);
  server.Start();
  RemoteObject other("127.0.0.1", server.Port(), "NoSuchObject");
  EXPECT_THROW(other.Call(307, {}), Error);
  RemoteObject icomm("127.0.0.1", server.Port(), "Icomm");
  EXPECT_THROW(icomm.Call(999, {}), Error);
  EXPECT_TRUE(icomm.IsConnected());
  EXPECT_EQ(icomm.Call(307, {}), Variant(std::int16_t{0}));
}

TEST_F(RemoteObjectTest, ServerGoneIsAnErrorOfEveryLaterCall) {
  RemoteObject icomm = Connect();
  EXPECT_NO_THROW(icomm.Call(307, {}));
  server.Stop();
  EXPECT_THROW(icomm.Call(307, {}), Error);
  EXPECT_FALSE(icomm.IsConnected());
  server.Restart();
  EXPECT_THROW(icomm.Call(307, {}), Error);  // a dropped object stays dropped; its owner replaces it
}

TEST(RemoteObject, ConnectFailuresRaise) {
  int freePort = 0;
  {
    TestServer s;
    s.Start();
    freePort = s.Port();
  }
  EXPECT_THROW(RemoteObject("127.0.0.1", freePort, "Icomm"), Error);
  EXPECT_THROW(RemoteObject("127.0.0.1", 0, "Icomm"), Error);
  EXPECT_THROW(RemoteObject("127.0.0.1", 70000, "Icomm"), Error);
  EXPECT_THROW(RemoteObject("no-such-host.invalid", 5000, "Icomm"), Error);
}

// A peer that misbehaves makes the call in progress fail with sw::Error and nothing worse.
TEST(RemoteObject, BadRepliesAreErrorsOfThatCall) {
  std::string goodPayload = EncodeReply(ReplyFrame{1, false, "", Variant(std::int32_t{1}), {}});
  std::string oversized = FrameHeader(kDefaultMaxFrameSize + 1) + "x";
  std::string garbage = RawReplyServer::Framed("\x01\x02garbage");
  std::string truncated = RawReplyServer::Framed(goodPayload).substr(0, 9);
  std::string headerOnly = FrameHeader(100);
  std::string otherRequest = RawReplyServer::Framed(EncodeReply(ReplyFrame{77, false, "", Variant(), {}}));
  std::string writesByValue =
      RawReplyServer::Framed(EncodeReply(ReplyFrame{1, false, "", Variant(), {{0, Variant("x")}}}));
  struct Case {
    const char* name;
    std::string reply;
  };
  const std::vector<Case> cases = {
      {"malformed frame", garbage},
      {"oversized length", oversized},
      {"peer closes mid-reply", truncated},
      {"peer closes after the length", headerOnly},
      {"peer closes without a reply", ""},
      {"reply to another request", otherRequest},
      {"writes back a by-value argument", writesByValue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawReplyServer peer(c.reply, /*closeAfterReply=*/true);
    RemoteObject object("127.0.0.1", peer.Port(), "Icomm");
    EXPECT_THROW(object.Call(302, {"L"}), Error);
    EXPECT_FALSE(object.IsConnected());
    EXPECT_THROW(object.Call(302, {"L"}), Error);
  }
  // The same raw server with a well-formed reply works, so the cases above fail for their own reason.
  RawReplyServer peer(RawReplyServer::Framed(goodPayload), true);
  RemoteObject object("127.0.0.1", peer.Port(), "Icomm");
  EXPECT_EQ(object.Call(302, {"L"}), Variant(std::int32_t{1}));
}

TEST(RemoteObject, ReadTimeoutIsAnErrorOfTheCall) {
  Dispatcher slow;
  std::atomic<bool> release{false};
  slow.Register("Icomm", 1, [&](CallContext&, std::vector<Variant>&) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return Variant();
  });
  TcpServer server(slow);
  server.Start();
  RemoteOptions options;
  options.readTimeout = std::chrono::milliseconds(50);
  RemoteObject object("127.0.0.1", server.Port(), "Icomm", options);
  EXPECT_THROW(object.Call(1, {}), Error);
  release = true;
  EXPECT_FALSE(object.IsConnected());
}

// Raw bytes sent to the server: it answers a malformed call with a fault and drops only that connection;
// an oversized length drops it without a reply. Other clients keep working.
TEST(TcpServer, SurvivesMalformedAndOversizedCalls) {
  TestServer server;
  server.Reply("Icomm", 307, Variant(std::int16_t{1}));
  server.Start();
  RemoteObject healthy("127.0.0.1", server.Port(), "Icomm");

  asio::io_context io;
  {
    asio::ip::tcp::socket raw(io);
    raw.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server.Port())});
    std::string junk = RawReplyServer::Framed("\x01\x01\xff");
    asio::write(raw, asio::buffer(junk));
    std::uint8_t header[kFrameHeaderSize];
    asio::read(raw, asio::buffer(header));
    std::string body(ParseFrameHeader(header, kDefaultMaxFrameSize), '\0');
    asio::read(raw, asio::buffer(body));
    ReplyFrame reply = DecodeReply(body);
    EXPECT_TRUE(reply.fault);
    EXPECT_NE(reply.faultText.find("Malformed frame"), std::string::npos);
    std::error_code ec;
    char c;
    asio::read(raw, asio::buffer(&c, 1), ec);
    EXPECT_EQ(ec, asio::error::eof);
  }
  {
    asio::ip::tcp::socket raw(io);
    raw.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server.Port())});
    std::string huge = FrameHeader(kDefaultMaxFrameSize + 1);
    asio::write(raw, asio::buffer(huge));
    std::error_code ec;
    char c;
    asio::read(raw, asio::buffer(&c, 1), ec);
    EXPECT_TRUE(ec == asio::error::eof || ec == asio::error::connection_reset);
  }
  EXPECT_EQ(healthy.Call(307, {}), Variant(std::int16_t{1}));
}

// Small and large calls and replies in any order over one connection: the buffers of both ends grow for a
// large frame and serve the next small one.
TEST_F(RemoteObjectTest, LargeAndSmallFramesAlternateOnOneConnection) {
  server.On("Icomm", 341, [](const RecordedCall&, std::vector<Variant>& args) {
    return Variant(std::string(static_cast<std::size_t>(args.at(0).ToInt32()), 'r'));
  });
  RemoteObject icomm = Connect();
  for (std::int32_t size : {0, 3, 300000, 5, 70000, 1}) {
    const std::string sent(static_cast<std::size_t>(size), 's');
    EXPECT_EQ(icomm.Call(341, {size, sent}).AsText(), std::string(static_cast<std::size_t>(size), 'r'))
        << size;
    EXPECT_EQ(server.CallsOf(341).back().args.at(1).AsText(), sent) << size;
  }
  EXPECT_EQ(server.Accepted(), 1u);
}

// However the bytes of the call frames arrive — several frames in one piece, a frame byte by byte, a frame
// larger than the read buffer followed by a small one — each is answered, in order.
TEST(TcpServer, AnswersFramesHoweverTheirBytesArrive) {
  TestServer server;
  server.On("Icomm", 341, [](const RecordedCall&, std::vector<Variant>& args) { return args.at(0); });
  server.Start();
  auto frame = [](std::uint32_t id, std::size_t size) {
    const std::string payload =
        EncodeCall(CallFrame{id, "Icomm", 341, {{Variant(std::string(size, 'x')), false}}});
    return FrameHeader(payload.size()) + payload;
  };
  struct Case {
    const char* name;
    std::vector<std::size_t> sizes;  // of the argument of each call, request ids 1, 2, ...
    std::size_t piece;               // bytes per write; 0: all frames in one write
  };
  const Case cases[] = {
      {"three frames in one piece", {10, 0, 20}, 0},
      {"byte by byte", {12, 3}, 1},
      {"large then small in one piece", {200000, 4}, 0},
      {"large in pieces", {100000, 1}, 4096},
  };
  asio::io_context io;
  for (const Case& c : cases) {
    asio::ip::tcp::socket raw(io);
    raw.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server.Port())});
    raw.set_option(asio::ip::tcp::no_delay(true));
    std::string bytes;
    for (std::size_t i = 0; i < c.sizes.size(); ++i)
      bytes += frame(static_cast<std::uint32_t>(i + 1), c.sizes[i]);
    const std::size_t piece = c.piece == 0 ? bytes.size() : c.piece;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
      asio::write(raw, asio::buffer(bytes.data() + at, std::min(piece, bytes.size() - at)));
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      std::uint8_t header[kFrameHeaderSize];
      asio::read(raw, asio::buffer(header));
      std::string body(ParseFrameHeader(header, kDefaultMaxFrameSize), '\0');
      asio::read(raw, asio::buffer(body));
      const ReplyFrame reply = DecodeReply(body);
      EXPECT_EQ(reply.requestId, i + 1) << c.name;
      EXPECT_EQ(reply.result, Variant(std::string(c.sizes[i], 'x'))) << c.name << ", call " << i + 1;
    }
  }
}

// A reply larger than the socket can take at once goes out in pieces while the client is not reading, and the
// calls queued behind it are answered after it, in order and whole.
TEST(TcpServer, LargeRepliesReadLateArriveWholeAndInOrder) {
  TestServer server;
  server.On("Icomm", 341, [](const RecordedCall&, std::vector<Variant>& args) {
    const auto size = static_cast<std::size_t>(args.at(0).ToInt32());
    return Variant(std::string(size, static_cast<char>('a' + size % 26)));
  });
  server.Start();
  const std::int32_t sizes[] = {12 << 20, 7, 9 << 20, 0};
  asio::io_context io;
  asio::ip::tcp::socket raw(io);
  raw.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server.Port())});
  std::string calls;
  for (std::uint32_t i = 0; i < std::size(sizes); ++i) {
    const std::string payload = EncodeCall(CallFrame{i + 1, "Icomm", 341, {{Variant(sizes[i]), false}}});
    calls += FrameHeader(payload.size()) + payload;
  }
  asio::write(raw, asio::buffer(calls));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the first reply fills the socket meanwhile
  for (std::uint32_t i = 0; i < std::size(sizes); ++i) {
    std::uint8_t header[kFrameHeaderSize];
    asio::read(raw, asio::buffer(header));
    std::string body(ParseFrameHeader(header, kDefaultMaxFrameSize), '\0');
    asio::read(raw, asio::buffer(body));
    const ReplyFrame reply = DecodeReply(body);
    EXPECT_EQ(reply.requestId, i + 1);
    const auto size = static_cast<std::size_t>(sizes[i]);
    EXPECT_EQ(reply.result, Variant(std::string(size, static_cast<char>('a' + size % 26))))
        << "call " << i + 1;
  }
}

// Every connection is served by a thread of its own: all its calls run on that thread, no two connections
// share one, a call that does not return holds up no other connection, and the threads of connections that
// have ended do not pile up.
TEST(TcpServer, EachConnectionHasAThreadOfItsOwn) {
  Dispatcher d;
  std::mutex mutex;
  std::map<std::uint64_t, std::set<std::thread::id>> threadsOf;  // per connection id
  d.Register("Icomm", 1, [&](CallContext& c, std::vector<Variant>&) {
    std::lock_guard lock(mutex);
    threadsOf[c.connectionId].insert(std::this_thread::get_id());
    return Variant();
  });
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  d.Register("Icomm", 2, [released](CallContext&, std::vector<Variant>&) {
    released.wait_for(std::chrono::seconds(60));  // bounded, so a fault cannot hang the test run
    return Variant();
  });
  TcpServer server(d);
  server.Start();

  std::vector<std::unique_ptr<RemoteObject>> clients;
  for (int i = 0; i < 4; ++i)
    clients.push_back(std::make_unique<RemoteObject>("127.0.0.1", server.Port(), "Icomm"));
  for (int round = 0; round < 3; ++round)
    for (auto& c : clients) c->Call(1, {});
  {
    std::lock_guard lock(mutex);
    ASSERT_EQ(threadsOf.size(), 4u);
    std::set<std::thread::id> all;
    for (auto& [id, threads] : threadsOf) {
      EXPECT_EQ(threads.size(), 1u) << "connection " << id;
      all.insert(threads.begin(), threads.end());
    }
    EXPECT_EQ(all.size(), 4u);
  }

  // The first connection's call blocks its thread; every other connection is answered meanwhile.
  std::thread blocked([&] { clients[0]->Call(2, {}); });
  for (std::size_t i = 1; i < clients.size(); ++i) EXPECT_NO_THROW(clients[i]->Call(1, {}));
  release.set_value();
  blocked.join();

  // Connections that come and go leave no threads behind: the process's thread count settles where it was.
  clients.clear();
  auto threadCount = [] {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
  };
  for (int i = 0; i < 50; ++i) RemoteObject("127.0.0.1", server.Port(), "Icomm").Call(1, {});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.OpenConnections() > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(server.OpenConnections(), 0u);
  RemoteObject("127.0.0.1", server.Port(), "Icomm").Call(1, {});  // an accept joins the ended threads
  // The listener, this last connection's thread (if not yet ended) and the test's own: far from 50.
  EXPECT_LT(threadCount(), 10u);
}

// A server at its connection limit closes the next connection as soon as it is accepted; the connections it
// serves are not affected, and a place that frees up is taken again.
TEST(TcpServer, ConnectionsBeyondTheLimitAreClosed) {
  Dispatcher d;
  d.Register("Icomm", 1, [](CallContext&, std::vector<Variant>&) { return Variant(std::int32_t{1}); });
  ServerOptions options;
  options.maxConnections = 2;
  TcpServer server(d, options);
  server.Start();
  auto first = std::make_unique<RemoteObject>("127.0.0.1", server.Port(), "Icomm");
  RemoteObject second("127.0.0.1", server.Port(), "Icomm");
  first->Call(1, {});
  second.Call(1, {});
  RemoteObject third("127.0.0.1", server.Port(), "Icomm");
  try {
    third.Call(1, {});
    ADD_FAILURE() << "a third connection was served";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("closed by the server"), std::string::npos) << e.what();
  }
  EXPECT_EQ(second.Call(1, {}), Variant(std::int32_t{1}));
  first.reset();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.OpenConnections() > 1 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  RemoteObject fourth("127.0.0.1", server.Port(), "Icomm");
  EXPECT_EQ(fourth.Call(1, {}), Variant(std::int32_t{1}));
}

// Stop closes the listener before the connections, so one accepted while stopping is closed too and Stop
// returns; the server starts again on the same object.
TEST(TcpServer, StopsWhileClientsKeepConnecting) {
  Dispatcher d;
  d.Register("Icomm", 1, [](CallContext&, std::vector<Variant>&) { return Variant(); });
  TcpServer server(d);
  for (int round = 0; round < 5; ++round) {
    server.Start();
    const auto port = static_cast<unsigned short>(server.Port());
    std::atomic<bool> stop{false};
    std::atomic<int> connected{0};
    std::thread dialer([&] {
      asio::io_context io;
      std::vector<asio::ip::tcp::socket> sockets;
      while (!stop) {
        asio::ip::tcp::socket s(io);
        std::error_code ec;
        s.connect({asio::ip::make_address("127.0.0.1"), port}, ec);
        if (ec) continue;
        ++connected;
        sockets.push_back(std::move(s));
      }
    });
    while (connected < 20) std::this_thread::yield();
    server.Stop();
    stop = true;
    dialer.join();
    EXPECT_EQ(server.OpenConnections(), 0u);
    EXPECT_FALSE(server.IsRunning());
  }
  server.Start();
  RemoteObject icomm("127.0.0.1", server.Port(), "Icomm");
  EXPECT_EQ(icomm.Call(1, {}), Variant());
}

TEST(Dispatcher, ResolvesAliasesWithoutRegardToCaseAndReportsUnknownCalls) {
  Dispatcher d;
  d.Register("Icomm", 307, [](CallContext& c, std::vector<Variant>&) { return Variant(c.object); });
  d.AddAlias(kIcommClassId, "ICOMM");
  EXPECT_EQ(d.Resolve("icomm"), "Icomm");
  EXPECT_EQ(d.Resolve(std::string(kIcommClassId)), "Icomm");
  EXPECT_EQ(d.Dispatch(CallFrame{1, "{6d1a7c20-4b3e-4f15-9a77-3c2e5b810001}", 307, {}}).result,
            Variant("Icomm"));
  ReplyFrame unknownNumber = d.Dispatch(CallFrame{2, "Icomm", 999, {}});
  EXPECT_TRUE(unknownNumber.fault);
  EXPECT_EQ(unknownNumber.requestId, 2u);
  EXPECT_TRUE(d.Dispatch(CallFrame{3, "Other", 307, {}}).fault);
  EXPECT_THROW(d.AddAlias("x", "Other"), Error);
}

}  // namespace
}  // namespace sw
