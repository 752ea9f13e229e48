#include "sw/dispatch/RemoteObject.h"

#include <array>
#include <asio.hpp>
#include <mutex>

#include "sw/core/Error.h"

namespace sw {

struct RemoteObject::Impl {
  RemoteOptions options;
  asio::io_context io;
  asio::ip::tcp::socket socket{io};
  std::mutex mutex;
  std::uint32_t nextRequest = 1;
  bool connected = false;

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

  void Drop() {
    std::error_code ignored;
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    connected = false;
  }
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
  for (const CallArg& a : args) call.args.push_back({a.Value(), a.IsByRef()});
  std::string payload = EncodeCall(call);
  if (payload.size() > d.options.maxFrameSize)
    throw Error("Remote call " + std::to_string(number) + ": arguments exceed the frame limit");
  const std::string header = FrameHeader(payload.size());
  const std::array<asio::const_buffer, 2> frame = {asio::buffer(header), asio::buffer(payload)};

  std::error_code ec = d.RunFor(d.options.writeTimeout, [&](std::error_code& out) {
    asio::async_write(d.socket, frame, [&out](std::error_code e, std::size_t) { out = e; });
  });
  if (ec) throw fail(Reason(ec));

  std::uint8_t replyHeader[kFrameHeaderSize];
  ec = d.RunFor(d.options.readTimeout, [&](std::error_code& out) {
    asio::async_read(d.socket, asio::buffer(replyHeader),
                     [&out](std::error_code e, std::size_t) { out = e; });
  });
  if (ec) throw fail(Reason(ec));
  std::uint32_t length = 0;
  try {
    length = ParseFrameHeader(replyHeader, d.options.maxFrameSize);
  } catch (const Error& e) {
    throw fail(e.what());
  }
  std::string body(length, '\0');
  ec = d.RunFor(d.options.readTimeout, [&](std::error_code& out) {
    asio::async_read(d.socket, asio::buffer(body), [&out](std::error_code e, std::size_t) { out = e; });
  });
  if (ec) throw fail(Reason(ec));

  ReplyFrame reply;
  try {
    reply = DecodeReply(body);
  } catch (const Error& e) {
    throw fail(e.what());
  }
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
