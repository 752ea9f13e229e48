#include "sw/dispatch/TcpServer.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <cstring>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "sw/core/Error.h"

namespace sw {

namespace {

class Connection;

// What connections share with the server that owns them.
struct Hub {
  const Dispatcher* dispatcher = nullptr;
  std::uint32_t maxFrameSize = kDefaultMaxFrameSize;
  std::mutex mutex;
  std::set<std::shared_ptr<Connection>> open;
  std::function<void(std::uint64_t)> onDisconnect;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(asio::ip::tcp::socket socket, std::shared_ptr<Hub> hub, std::uint64_t id)
      : socket_(std::move(socket)), hub_(std::move(hub)), id_(id) {
    std::error_code ec;
    auto remote = socket_.remote_endpoint(ec);
    if (!ec) peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
  }

  // Starts reading on the connection's own loop (the acceptor runs on another one).
  void Start() {
    // Non-blocking, so that Answer's direct write returns at once instead of waiting for room.
    std::error_code ignored;
    socket_.non_blocking(true, ignored);
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->ReadFrame(); });
  }

  // Closes the socket from any thread; the pending operation then ends with an error and Finish runs.
  void Close() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Shutdown(); });
  }

 private:
  void Shutdown() {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

  void Finish() {
    Shutdown();
    std::function<void(std::uint64_t)> onDisconnect;
    {
      std::lock_guard lock(hub_->mutex);
      if (hub_->open.erase(shared_from_this()) == 0) return;
      onDisconnect = hub_->onDisconnect;
    }
    if (onDisconnect) onDisconnect(id_);
  }

  // Answers every call frame that is wholly buffered, then receives more. A receive takes whatever has
  // arrived (a small call and its header in one piece); a frame larger than the buffer grows it to the
  // frame's size, and the buffer shrinks back once that frame is answered.
  void ReadFrame() {
    for (;;) {
      if (end_ - begin_ < kFrameHeaderSize) {
        Reserve(kFrameHeaderSize);
        break;
      }
      std::uint8_t header[kFrameHeaderSize];
      std::memcpy(header, in_.data() + begin_, kFrameHeaderSize);
      std::uint32_t length = 0;
      try {
        length = ParseFrameHeader(header, hub_->maxFrameSize);
      } catch (const Error&) {
        // An oversized or empty length leaves no way to find the next frame: drop the connection.
        return Finish();
      }
      const std::size_t frame = kFrameHeaderSize + length;
      if (end_ - begin_ < frame) {
        Reserve(frame);
        break;
      }
      const std::string_view body(in_.data() + begin_ + kFrameHeaderSize, length);
      begin_ += frame;
      // Answer goes on here only when the whole reply went out at once; otherwise the write's completion
      // continues (or the connection is finished).
      if (!Answer(body)) return;
    }
    socket_.async_read_some(asio::buffer(in_.data() + end_, in_.size() - end_),
                            [self = shared_from_this()](std::error_code ec, std::size_t n) {
                              if (ec) return self->Finish();
                              self->end_ += n;
                              self->ReadFrame();
                            });
  }

  // Room for `frame` bytes from the start of the unread data.
  void Reserve(std::size_t frame) {
    if (begin_ > 0) {
      std::memmove(in_.data(), in_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (in_.size() < std::max(frame, kReadChunk)) in_.resize(std::max(frame, kReadChunk));
  }

  // Dispatches one call and sends its reply. The reply is first written straight away (the socket is
  // non-blocking): a small reply leaves in that one send, with no completion to queue and run. What the
  // socket does not take at once is written asynchronously. True when the reply went out whole and the
  // connection reads on; false when a pending write or the end of the connection takes over.
  bool Answer(std::string_view body) {
    ReplyFrame reply;
    bool closeAfter = false;
    try {
      reply = hub_->dispatcher->Dispatch(DecodeCall(body), id_, peer_);
    } catch (const std::exception& e) {
      reply = ReplyFrame::Fault(0, e.what());
      closeAfter = true;
    }
    if (begin_ == end_) {
      begin_ = end_ = 0;
      if (in_.size() > kReadChunk) std::string().swap(in_);
    }
    // The reply is encoded into the connection's reply buffer, which keeps its capacity from call to call.
    std::string payload;
    try {
      payload = EncodeReply(reply, std::move(out_));
    } catch (const std::exception& e) {
      payload = EncodeReply(
          ReplyFrame::Fault(reply.requestId, std::string("Cannot encode the reply: ") + e.what()));
    }
    if (payload.size() > hub_->maxFrameSize)
      payload = EncodeReply(ReplyFrame::Fault(reply.requestId, "The reply exceeds the frame limit"));
    outHeader_ = FrameHeader(payload.size());
    out_ = std::move(payload);

    std::error_code ec;
    const std::size_t total = outHeader_.size() + out_.size();
    const std::size_t sent = socket_.write_some(
        std::array<asio::const_buffer, 2>{asio::buffer(outHeader_), asio::buffer(out_)}, ec);
    if (ec && ec != asio::error::would_block) {
      Finish();
      return false;
    }
    if (sent == total) {
      ResetFrameBuffer(out_);
      if (!closeAfter) return true;
      Finish();
      return false;
    }
    // The rest of the reply: what is left of the header (if any) and of the body.
    const std::size_t headerSent = std::min(sent, outHeader_.size());
    const std::array<asio::const_buffer, 2> rest = {asio::buffer(outHeader_) + headerSent,
                                                    asio::buffer(out_) + (sent - headerSent)};
    asio::async_write(socket_, rest,
                      [self = shared_from_this(), closeAfter](std::error_code ec, std::size_t) {
                        ResetFrameBuffer(self->out_);
                        if (ec || closeAfter) return self->Finish();
                        self->ReadFrame();
                      });
    return false;
  }

  asio::ip::tcp::socket socket_;
  std::shared_ptr<Hub> hub_;
  std::uint64_t id_;
  std::string peer_;
  static constexpr std::size_t kReadChunk = 16 * 1024;
  std::string in_;  // received bytes; [begin_, end_) not yet answered
  std::size_t begin_ = 0, end_ = 0;
  std::string outHeader_;
  std::string out_;
};

}  // namespace

struct TcpServer::Impl {
  ServerOptions options;
  std::shared_ptr<Hub> hub = std::make_shared<Hub>();
  // One event loop per worker thread. A connection stays on the loop it is given when accepted: its reads,
  // the dispatch of its calls and its replies all run on that loop's thread, so no event is handed from one
  // thread to another (on loopback that hand-off costs more than a small call itself).
  std::vector<std::unique_ptr<asio::io_context>> loops;
  std::vector<asio::executor_work_guard<asio::io_context::executor_type>> work;
  std::unique_ptr<asio::ip::tcp::acceptor> acceptor;  // on loops[0]
  std::size_t nextLoop = 0;                           // used only on loops[0]
  std::vector<std::thread> threads;
  std::atomic<std::uint64_t> accepted{0};
  std::atomic<bool> running{false};
  int port = 0;

  // Each accepted socket is bound to the next loop in turn; that loop's single thread runs all its handlers,
  // so they and a Close() from another thread (posted to the same loop) never overlap.
  void Accept() {
    asio::io_context& loop = *loops[nextLoop];
    nextLoop = (nextLoop + 1) % loops.size();
    acceptor->async_accept(loop, [this](std::error_code ec, asio::ip::tcp::socket socket) {
      // Once Stop has closed the listener, a connection whose accept had already completed is dropped too.
      if (!acceptor->is_open() || ec == asio::error::operation_aborted) return;
      if (ec) return Accept();  // a failed accept (e.g. out of descriptors) must not end the listener
      std::error_code ignored;
      socket.set_option(asio::ip::tcp::no_delay(true), ignored);
      auto conn = std::make_shared<Connection>(std::move(socket), hub, ++accepted);
      {
        std::lock_guard lock(hub->mutex);
        hub->open.insert(conn);
      }
      conn->Start();
      Accept();
    });
  }
};

unsigned DefaultServerThreads() {
  return std::clamp(8 * std::thread::hardware_concurrency(), 8u, 64u);
}

TcpServer::TcpServer(const Dispatcher& dispatcher, ServerOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->hub->dispatcher = &dispatcher;
  impl_->hub->maxFrameSize = impl_->options.maxFrameSize;
}

TcpServer::~TcpServer() {
  Stop();
}

void TcpServer::Start() {
  Impl& d = *impl_;
  if (d.running) return;
  if (d.options.port < 0 || d.options.port > 65535)
    throw Error("Cannot listen on port " + std::to_string(d.options.port) + ": out of range");
  std::error_code ec;
  asio::ip::address address = asio::ip::make_address(d.options.address, ec);
  if (ec) throw Error("Cannot listen on " + d.options.address + ": " + ec.message());
  asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(d.options.port));
  const unsigned n = d.options.threads == 0 ? 1 : d.options.threads;
  d.loops.clear();
  // Concurrency hint 1: one thread runs each loop, so Asio queues a loop's own handlers without waking
  // others.
  for (unsigned i = 0; i < n; ++i) d.loops.push_back(std::make_unique<asio::io_context>(1));
  auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(*d.loops[0]);
  acceptor->open(endpoint.protocol(), ec);
  if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor->bind(endpoint, ec);
  if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    throw Error("Cannot listen on " + d.options.address + ":" + std::to_string(d.options.port) + ": " +
                ec.message());
  d.port = acceptor->local_endpoint().port();
  d.acceptor = std::move(acceptor);
  d.nextLoop = 0;
  for (auto& loop : d.loops) d.work.push_back(asio::make_work_guard(*loop));
  d.Accept();
  for (auto& loop : d.loops) d.threads.emplace_back([&io = *loop] { io.run(); });
  d.running = true;
}

void TcpServer::Stop() {
  Impl& d = *impl_;
  if (!d.running) return;
  // The listener is closed on its own loop, and only then are the connections closed: one accepted meanwhile
  // would otherwise be missed and keep its loop (and this join) running.
  std::promise<void> listenerClosed;
  asio::post(d.acceptor->get_executor(), [&d, &listenerClosed] {
    std::error_code ignored;
    d.acceptor->close(ignored);
    listenerClosed.set_value();
  });
  listenerClosed.get_future().wait();
  CloseAllConnections();
  // Without the work guards, each loop's run() returns once its connections have finished their last handler.
  d.work.clear();
  for (std::thread& t : d.threads) t.join();
  d.threads.clear();
  {
    std::lock_guard lock(d.hub->mutex);
    d.hub->open.clear();
  }
  std::error_code ignored;
  d.acceptor->close(ignored);
  d.acceptor.reset();
  // The sockets of the connections just released belong to these loops, so the loops go last.
  d.loops.clear();
  d.running = false;
}

bool TcpServer::IsRunning() const {
  return impl_->running;
}

int TcpServer::Port() const {
  return impl_->port;
}

std::size_t TcpServer::OpenConnections() const {
  std::lock_guard lock(impl_->hub->mutex);
  return impl_->hub->open.size();
}

std::uint64_t TcpServer::AcceptedConnections() const {
  return impl_->accepted;
}

void TcpServer::CloseAllConnections() {
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard lock(impl_->hub->mutex);
    open.assign(impl_->hub->open.begin(), impl_->hub->open.end());
  }
  for (auto& c : open) c->Close();
}

void TcpServer::SetDisconnectHandler(std::function<void(std::uint64_t)> handler) {
  std::lock_guard lock(impl_->hub->mutex);
  impl_->hub->onDisconnect = std::move(handler);
}

}  // namespace sw
