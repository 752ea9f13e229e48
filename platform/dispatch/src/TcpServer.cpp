#include "sw/dispatch/TcpServer.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "FrameSend.h"
#include "sw/core/Error.h"

namespace sw {

namespace {

class Connection;

// What connections share with the server that owns them.
struct Hub {
  const Dispatcher* dispatcher = nullptr;
  std::uint32_t maxFrameSize = kDefaultMaxFrameSize;
  std::mutex mutex;
  std::set<std::shared_ptr<Connection>> open;  // connections being served
  std::vector<std::thread> ended;              // threads of connections that have ended, not yet joined
  std::condition_variable allEnded;            // signalled when `open` becomes empty
  std::function<void(std::uint64_t)> onDisconnect;

  // Joins the threads of the connections that have ended (they are at most finishing their last lines).
  void JoinEnded() {
    std::vector<std::thread> threads;
    {
      std::lock_guard lock(mutex);
      threads.swap(ended);
    }
    for (std::thread& t : threads) t.join();
  }
};

// One client connection, served by a thread of its own: it receives whatever has arrived (a small call and
// its length in one receive), answers every whole call frame, each with one send, and waits in the next
// receive. A call costs the server two system calls, and a call that takes long holds up no other client.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(int fd, std::string peer, std::shared_ptr<Hub> hub, std::uint64_t id)
      : fd_(fd), peer_(std::move(peer)), hub_(std::move(hub)), id_(id) {}
  ~Connection() { CloseSocket(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Registers the connection and starts its thread; false (and nothing registered) when no thread can be
  // started. Under the hub's lock, so that the thread, which hands its own std::thread to the hub when it
  // ends, finds it assigned.
  bool Launch() {
    std::lock_guard lock(hub_->mutex);
    hub_->open.insert(shared_from_this());
    try {
      thread_ = std::thread([self = shared_from_this()] { self->Run(); });
    } catch (const std::system_error&) {
      hub_->open.erase(shared_from_this());
      return false;
    }
    return true;
  }

  // Ends the connection from any thread: a receive or send in progress returns at once, and the thread
  // ends after the call it may be answering.
  void Close() {
    std::lock_guard lock(socketMutex_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  }

 private:
  void Run() {
    pthread_setname_np(pthread_self(), "sw-connection");
    Serve();
    CloseSocket();
    std::function<void(std::uint64_t)> onDisconnect;
    {
      std::lock_guard lock(hub_->mutex);
      hub_->ended.push_back(std::move(thread_));
      hub_->open.erase(shared_from_this());
      if (hub_->open.empty()) hub_->allEnded.notify_all();
      onDisconnect = hub_->onDisconnect;
    }
    if (onDisconnect) onDisconnect(id_);
  }

  void CloseSocket() {
    std::lock_guard lock(socketMutex_);
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
  }

  // Answers every call frame that is wholly buffered, then receives more. A frame larger than the buffer
  // grows it to the frame's size, and the buffer shrinks back once that frame is answered. Returns when the
  // client closes, the connection is closed or fails, or a frame cannot be read on from.
  void Serve() {
    for (;;) {
      std::size_t need = kFrameHeaderSize;
      while (end_ - begin_ >= kFrameHeaderSize) {
        std::uint8_t header[kFrameHeaderSize];
        std::memcpy(header, in_.data() + begin_, kFrameHeaderSize);
        std::uint32_t length = 0;
        try {
          length = ParseFrameHeader(header, hub_->maxFrameSize);
        } catch (const Error&) {
          return;  // an oversized or empty length leaves no way to find the next frame
        }
        const std::size_t frame = kFrameHeaderSize + length;
        if (end_ - begin_ < frame) {
          need = frame;
          break;
        }
        const std::string_view body(in_.data() + begin_ + kFrameHeaderSize, length);
        begin_ += frame;
        if (!Answer(body)) return;
      }
      Reserve(need);
      const ssize_t n = ::recv(fd_, in_.data() + end_, in_.size() - end_, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      end_ += static_cast<std::size_t>(n);
    }
  }

  // Room for `frame` bytes from the start of the unread data; an emptied buffer that a large frame grew is
  // released first.
  void Reserve(std::size_t frame) {
    if (begin_ == end_) {
      begin_ = end_ = 0;
      if (in_.size() > kFrameBufferKeep && frame <= kFrameBufferKeep) std::string().swap(in_);
    } else if (begin_ > 0) {
      std::memmove(in_.data(), in_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (in_.size() < std::max(frame, kFrameBufferKeep)) in_.resize(std::max(frame, kFrameBufferKeep));
  }

  // Dispatches one call and sends its reply. True when the connection reads on; false when the reply could
  // not be sent or the call was malformed (its fault reply is sent, then the connection closes).
  bool Answer(std::string_view body) {
    ReplyFrame reply;
    bool closeAfter = false;
    try {
      reply = hub_->dispatcher->Dispatch(DecodeCall(body), id_, peer_);
    } catch (const std::exception& e) {
      reply = ReplyFrame::Fault(0, e.what());
      closeAfter = true;
    }
    // The reply is encoded into the connection's reply buffer, which keeps its capacity from call to call.
    try {
      out_ = EncodeReply(reply, std::move(out_));
    } catch (const std::exception& e) {
      out_ = EncodeReply(
          ReplyFrame::Fault(reply.requestId, std::string("Cannot encode the reply: ") + e.what()));
    }
    if (out_.size() > hub_->maxFrameSize)
      out_ = EncodeReply(ReplyFrame::Fault(reply.requestId, "The reply exceeds the frame limit"));
    const bool sent = SendAll(FrameHeader(out_.size()), out_);
    ResetFrameBuffer(out_);
    return sent && !closeAfter;
  }

  // Sends the header and the payload, blocking until the socket has taken every byte.
  bool SendAll(std::string_view header, std::string_view payload) {
    std::size_t sent = 0;
    const std::size_t total = header.size() + payload.size();
    while (sent < total) {
      const ssize_t n = SendFrameRest(fd_, header, payload, sent, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  std::mutex socketMutex_;  // between Close() from other threads and the socket's closing
  int fd_;
  std::string peer_;
  std::shared_ptr<Hub> hub_;
  std::uint64_t id_;
  std::thread thread_;
  std::string in_;  // received bytes; [begin_, end_) not yet answered
  std::size_t begin_ = 0, end_ = 0;
  std::string out_;
};

}  // namespace

struct TcpServer::Impl {
  ServerOptions options;
  std::shared_ptr<Hub> hub = std::make_shared<Hub>();
  // The listener's own loop and thread; connections are served by threads of their own.
  std::unique_ptr<asio::io_context> io;
  std::unique_ptr<asio::ip::tcp::acceptor> acceptor;
  std::thread acceptThread;
  std::atomic<std::uint64_t> accepted{0};
  std::atomic<bool> running{false};
  int port = 0;

  void Accept() {
    acceptor->async_accept([this](std::error_code ec, asio::ip::tcp::socket socket) {
      // Once Stop has closed the listener, a connection whose accept had already completed is dropped too.
      if (!acceptor->is_open() || ec == asio::error::operation_aborted) return;
      hub->JoinEnded();
      if (ec) return Accept();  // a failed accept (e.g. out of descriptors) must not end the listener
      Admit(std::move(socket));
      Accept();
    });
  }

  // Takes the accepted socket out of the listener's loop (its thread blocks on it instead) and starts its
  // connection; one over the limit is closed at once.
  void Admit(asio::ip::tcp::socket socket) {
    std::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    std::string peer;
    auto remote = socket.remote_endpoint(ignored);
    if (!ignored) peer = remote.address().to_string() + ":" + std::to_string(remote.port());
    {
      std::lock_guard lock(hub->mutex);
      if (hub->open.size() >= options.maxConnections) return;  // the socket closes as it goes
    }
    std::error_code ec;
    const int fd = socket.release(ec);
    if (ec) return;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
      ::close(fd);
      return;
    }
    // A connection whose thread cannot start (the system is out of threads) is closed as it goes.
    std::make_shared<Connection>(fd, std::move(peer), hub, ++accepted)->Launch();
  }
};

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
  d.io = std::make_unique<asio::io_context>(1);
  auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(*d.io);
  acceptor->open(endpoint.protocol(), ec);
  if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor->bind(endpoint, ec);
  if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    throw Error("Cannot listen on " + d.options.address + ":" + std::to_string(d.options.port) + ": " +
                ec.message());
  d.port = acceptor->local_endpoint().port();
  d.acceptor = std::move(acceptor);
  d.Accept();
  d.acceptThread = std::thread([&io = *d.io] {
    pthread_setname_np(pthread_self(), "sw-listener");
    io.run();
  });
  d.running = true;
}

void TcpServer::Stop() {
  Impl& d = *impl_;
  if (!d.running) return;
  // The listener is closed on its own loop, whose run() then returns; only then are the connections closed,
  // so that none accepted meanwhile is missed.
  asio::post(*d.io, [&d] {
    std::error_code ignored;
    d.acceptor->close(ignored);
  });
  d.acceptThread.join();
  d.acceptor.reset();
  d.io.reset();
  CloseAllConnections();
  {
    std::unique_lock lock(d.hub->mutex);
    d.hub->allEnded.wait(lock, [&] { return d.hub->open.empty(); });
  }
  d.hub->JoinEnded();
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
