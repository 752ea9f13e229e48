#include "sw/testing/TestServer.h"

#include <asio.hpp>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/dispatch/Wire.h"

namespace sw::testing {

TestServer::TestServer() {
  auto answer = [this](CallContext& context, std::vector<Variant>& args) { return Answer(context, args); };
  for (std::string_view object : {kIcommObject, kIGeneralObject}) dispatcher_.AddObject(object);
  dispatcher_.AddAlias(kIcommClassId, kIcommObject);
  dispatcher_.AddAlias(kIGeneralClassId, kIGeneralObject);
  dispatcher_.SetFallback(answer);
}

TestServer::~TestServer() {
  Stop();
}

void TestServer::Start(int port) {
  ServerOptions options;
  options.port = port;
  server_ = std::make_unique<TcpServer>(dispatcher_, options);
  server_->Start();
  port_ = server_->Port();
}

void TestServer::Stop() {
  if (!server_) return;
  server_->Stop();
  acceptedBefore_ += server_->AcceptedConnections();
  server_.reset();
}

void TestServer::Restart() {
  int port = port_;
  Stop();
  Start(port);
}

void TestServer::On(std::string_view object, std::int32_t number, Script script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back({{UpperCase(object), number}, std::move(script)});
}

void TestServer::Reply(std::string_view object, std::int32_t number, Variant result) {
  On(object, number, [result](const RecordedCall&, std::vector<Variant>&) { return result; });
}

void TestServer::Fault(std::string_view object, std::int32_t number, std::string text) {
  On(object, number, [text](const RecordedCall&, std::vector<Variant>&) -> Variant { throw Error(text); });
}

Variant TestServer::Answer(CallContext& context, std::vector<Variant>& args) {
  // Connection ids start again with every server start: number them across restarts.
  RecordedCall call{context.object, context.number, args, context.byRef,
                    acceptedBefore_ + context.connectionId};
  Script script;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
    // The latest script for a call wins, so a test can override an earlier answer.
    for (auto it = scripts_.rbegin(); it != scripts_.rend(); ++it)
      if (it->first.first == UpperCase(context.object) && it->first.second == context.number) {
        script = it->second;
        break;
      }
  }
  return script ? script(call, args) : Variant();
}

std::vector<RecordedCall> TestServer::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<RecordedCall> TestServer::CallsOf(std::int32_t number) const {
  std::lock_guard lock(mutex_);
  std::vector<RecordedCall> out;
  for (const RecordedCall& c : calls_)
    if (c.number == number) out.push_back(c);
  return out;
}

void TestServer::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::uint64_t TestServer::Accepted() const {
  return acceptedBefore_ + (server_ ? server_->AcceptedConnections() : 0);
}

struct RawReplyServer::Impl {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor{io};
  std::thread thread;
  std::atomic<bool> stopping{false};
};

RawReplyServer::RawReplyServer(std::string reply, bool closeAfterReply) : impl_(std::make_unique<Impl>()) {
  asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
  impl_->acceptor.open(endpoint.protocol());
  impl_->acceptor.bind(endpoint);
  impl_->acceptor.listen();
  port_ = impl_->acceptor.local_endpoint().port();
  impl_->thread = std::thread([this, reply = std::move(reply), closeAfterReply] {
    while (!impl_->stopping) {
      std::error_code ec;
      asio::ip::tcp::socket socket(impl_->io);
      impl_->acceptor.accept(socket, ec);
      if (ec) return;
      for (;;) {
        std::uint8_t header[kFrameHeaderSize];
        asio::read(socket, asio::buffer(header), ec);
        if (ec) break;
        std::uint32_t n = 0;
        try {
          n = ParseFrameHeader(header, kDefaultMaxFrameSize);
        } catch (const Error&) {
          break;
        }
        std::string body(n, '\0');
        asio::read(socket, asio::buffer(body), ec);
        if (ec) break;
        asio::write(socket, asio::buffer(reply), ec);
        if (ec || closeAfterReply) break;
      }
      socket.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
      socket.close(ec);
    }
  });
}

RawReplyServer::~RawReplyServer() {
  impl_->stopping = true;
  std::error_code ec;
  // Wakes the blocking accept.
  asio::ip::tcp::socket poke(impl_->io);
  poke.connect(impl_->acceptor.local_endpoint(), ec);
  poke.close(ec);
  impl_->thread.join();
}

std::string RawReplyServer::Framed(std::string_view payload) {
  return FrameHeader(payload.size()) + std::string(payload);
}

}  // namespace sw::testing
