#include "sw/dispatch/RemoteObject.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <asio.hpp>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string_view>

#include "FrameSend.h"
#include "sw/core/Error.h"

namespace sw {

struct RemoteObject::Impl {
  RemoteOptions options;
  asio::io_context io;
  asio::ip::tcp::socket socket{io};
  std::mutex mutex;
  std::uint32_t nextRequest = 1;
  bool connected = false;
  // Bytes received and not yet used: [begin, end) of `in`.
  std::string in;
  std::size_t begin = 0, end = 0;
  // The payload of the call being sent.
  std::string out;

  // Runs the asynchronous operation started by `start` until it completes or the timeout passes. On timeout
  // the socket is closed (which completes the operation with an abort) and the result is
  // asio::error::timed_out.
  template <class Start>
  std::error_code RunFor(std::chrono::milliseconds timeout, Start start) {
    std::error_code result = asio::error::would_block;
    start(result);
    io.restart();
    io.run_for(timeout);
    if (!io.stopped()) {
      std::error_code ignored;
      socket.close(ignored);
      io.run();
      return asio::error::timed_out;
    }
    return result;
  }

  // Calls are made one at a time and wait for their reply, so the connected socket is used directly. It is
  // left in blocking mode with the read timeout as its receive timeout (SO_RCVTIMEO): the first receive of a
  // reply simply blocks, so a small call costs one send and one receive. Every other send and receive is
  // non-blocking (MSG_DONTWAIT) and waits in poll against the operation's own deadline.
  static std::error_code LastError() { return {errno, asio::error::get_system_category()}; }

  // Whether the first receive of a reply may block (the receive timeout could be set).
  bool blockingFirstReceive = false;

  // Waits until the socket can take `events`; timed_out when the deadline passes first.
  std::error_code Wait(short events, std::chrono::steady_clock::time_point deadline) {
    pollfd p{socket.native_handle(), events, 0};
    for (;;) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return asio::error::timed_out;
      const int n = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left.count(), INT32_MAX)));
      if (n > 0) return {};
      if (n < 0 && errno != EINTR) return LastError();
    }
  }

  std::error_code Send(std::string_view header, std::string_view payload, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t sent = 0;
    const std::size_t total = header.size() + payload.size();
    while (sent < total) {
      const ssize_t n = SendFrameRest(socket.native_handle(), header, payload, sent, MSG_DONTWAIT);
      if (n >= 0) {
        sent += static_cast<std::size_t>(n);
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (std::error_code ec = Wait(POLLOUT, deadline)) return ec;
      } else if (errno != EINTR) {
        return LastError();
      }
    }
    return {};
  }

  // Receives until at least `need` bytes are buffered. `waitFirst`: the bytes cannot be there yet (a reply
  // right after its call), so the socket is waited for before the first receive.
  std::error_code Fill(std::size_t need, std::chrono::milliseconds timeout, bool waitFirst = false) {
    if (end - begin >= need) return {};
    if (begin > 0) {  // move what is left to the front
      in.erase(0, begin);
      end -= begin;
      begin = 0;
    }
    if (in.size() < std::max<std::size_t>(need, kReadChunk))
      in.resize(std::max<std::size_t>(need, kReadChunk));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool block = waitFirst && blockingFirstReceive;
    if (waitFirst && !block) {
      if (std::error_code ec = Wait(POLLIN, deadline)) return ec;
    }
    while (end < need) {
      // A blocking receive ends with EAGAIN when the receive timeout passes (the whole read timeout: it is
      // the first receive of the reply).
      const ssize_t n =
          ::recv(socket.native_handle(), in.data() + end, in.size() - end, block ? 0 : MSG_DONTWAIT);
      if (block && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return asio::error::timed_out;
      block = false;
      if (n > 0) {
        end += static_cast<std::size_t>(n);
      } else if (n == 0) {
        return asio::error::eof;
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (std::error_code ec = Wait(POLLIN, deadline)) return ec;
      } else if (errno != EINTR) {
        return LastError();
      }
    }
    return {};
  }

  // Takes `n` buffered bytes (Fill first).
  std::string_view Consume(std::size_t n) {
    std::string_view bytes(in.data() + begin, n);
    begin += n;
    return bytes;
  }

  // After a reply the buffer is empty (one call at a time); a buffer grown for a large reply is released.
  void Settle() {
    if (begin == end) begin = end = 0;
    if (begin == 0 && end == 0 && in.size() > kReadChunk) std::string().swap(in);
  }

  // Sets the socket's receive timeout; false when `timeout` cannot be one (not positive: a zero timeval would
  // mean "wait forever") or the system refuses it.
  bool SetReceiveTimeout(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0) return false;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(std::min<std::int64_t>(seconds.count(), INT32_MAX));
    tv.tv_usec = static_cast<suseconds_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(timeout - seconds).count());
    return ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
  }

  void Drop() {
    std::error_code ignored;
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    connected = false;
    begin = end = 0;
  }

  static constexpr std::size_t kReadChunk = 16 * 1024;
};

namespace {

std::string Endpoint(const std::string& host, int port) {
  return host + ":" + std::to_string(port);
}

std::string Reason(std::error_code ec) {
  if (ec == asio::error::eof || ec == asio::error::connection_reset || ec == asio::error::broken_pipe)
    return "the connection was closed by the server";
  if (ec == asio::error::timed_out) return "timed out";
  return ec.message();
}

}  // namespace

RemoteObject::RemoteObject(std::string host, int port, std::string object, RemoteOptions options)
    : host_(std::move(host)), port_(port), object_(std::move(object)), impl_(std::make_unique<Impl>()) {
  impl_->options = options;
  if (port_ < 1 || port_ > 65535)
    throw Error("Cannot connect to " + Endpoint(host_, port_) + ": port out of range");
  asio::ip::tcp::resolver resolver(impl_->io);
  std::error_code ec;
  auto endpoints = resolver.resolve(host_, std::to_string(port_), ec);
  if (ec) throw Error("Cannot connect to " + Endpoint(host_, port_) + ": " + ec.message());
  ec = impl_->RunFor(options.connectTimeout, [&](std::error_code& out) {
    asio::async_connect(impl_->socket, endpoints,
                        [&out](std::error_code e, const asio::ip::tcp::endpoint&) { out = e; });
  });
  if (ec) {
    impl_->Drop();
    throw Error("Cannot connect to " + Endpoint(host_, port_) + ": " + Reason(ec));
  }
  impl_->socket.set_option(asio::ip::tcp::no_delay(true), ec);
  if (!ec) impl_->socket.native_non_blocking(false, ec);
  if (!ec) impl_->blockingFirstReceive = impl_->SetReceiveTimeout(options.readTimeout);
  if (ec) {
    impl_->Drop();
    throw Error("Cannot connect to " + Endpoint(host_, port_) + ": " + Reason(ec));
  }
  impl_->connected = true;
}

RemoteObject::~RemoteObject() {
  if (impl_) impl_->Drop();
}

std::string RemoteObject::Describe() const {
  return object_ + " at " + Endpoint(host_, port_);
}

bool RemoteObject::IsConnected() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->connected;
}

void RemoteObject::Close() {
  std::lock_guard lock(impl_->mutex);
  impl_->Drop();
}

Variant RemoteObject::Call(std::int32_t number, std::vector<CallArg> args) {
  std::lock_guard lock(impl_->mutex);
  Impl& d = *impl_;
  auto fail = [&](const std::string& why) -> Error {
    d.Drop();
    return Error("Remote call " + std::to_string(number) + " to " + Describe() + " failed: " + why);
  };
  if (!d.connected)
    throw Error("Remote call " + std::to_string(number) + " to " + Describe() + " failed: not connected");

  CallFrame call;
  call.requestId = d.nextRequest++;
  call.object = object_;
  call.number = number;
  call.args.reserve(args.size());
  // The values are moved into the frame, not copied: the call owns `args`, and a by-reference argument is
  // written back through its target, not its value.
  for (CallArg& a : args) call.args.push_back({a.TakeValue(), a.IsByRef()});
  // Encoded into the connection's send buffer, which keeps its capacity for the next call (a large call's
  // is released once sent).
  d.out = EncodeCall(call, std::move(d.out));
  if (d.out.size() > d.options.maxFrameSize) {
    ResetFrameBuffer(d.out);
    throw Error("Remote call " + std::to_string(number) + ": arguments exceed the frame limit");
  }
  std::error_code ec = d.Send(FrameHeader(d.out.size()), d.out, d.options.writeTimeout);
  ResetFrameBuffer(d.out);
  if (ec) throw fail(Reason(ec));

  ec = d.Fill(kFrameHeaderSize, d.options.readTimeout, /*waitFirst=*/d.end == d.begin);
  if (ec) throw fail(Reason(ec));
  std::uint8_t replyHeader[kFrameHeaderSize];
  std::memcpy(replyHeader, d.Consume(kFrameHeaderSize).data(), kFrameHeaderSize);
  std::uint32_t length = 0;
  try {
    length = ParseFrameHeader(replyHeader, d.options.maxFrameSize);
  } catch (const Error& e) {
    throw fail(e.what());
  }
  ec = d.Fill(length, d.options.readTimeout);
  if (ec) throw fail(Reason(ec));
  const std::string_view body = d.Consume(length);

  ReplyFrame reply;
  try {
    reply = DecodeReply(body);
  } catch (const Error& e) {
    throw fail(e.what());
  }
  d.Settle();
  if (reply.requestId != call.requestId) throw fail("the reply answers another request");
  if (reply.fault) throw Error(reply.faultText);
  for (WrittenArg& w : reply.written) {
    if (w.index >= args.size() || !args[w.index].IsByRef())
      throw fail("the reply writes back argument " + std::to_string(w.index) + ", which is not by reference");
  }
  for (WrittenArg& w : reply.written) args[w.index].WriteBack(std::move(w.value));
  return std::move(reply.result);
}

}  // namespace sw
