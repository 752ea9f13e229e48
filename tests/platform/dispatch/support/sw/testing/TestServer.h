#pragma once
// Test doubles of the application server, on ephemeral loopback ports.
//
// TestServer: a real TcpServer over a Dispatcher that knows the objects Icomm and IGeneral (by name and by
// their default class identifiers), records every call it receives and answers scripted replies. Calls
// without a script are recorded and answered with an empty variant. It can be restarted on the same port,
// which its clients see as a dropped connection.
//
// RawReplyServer: answers every frame it reads with fixed raw bytes, then optionally closes the connection:
// the misbehaving peer for tests of malformed, oversized and truncated replies.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sw/core/Variant.h"
#include "sw/dispatch/Dispatcher.h"
#include "sw/dispatch/TcpServer.h"

namespace sw::testing {

struct RecordedCall {
  std::string object;  // canonical name: "Icomm" or "IGeneral"
  std::int32_t number = 0;
  std::vector<Variant> args;
  std::vector<bool> byRef;
  std::uint64_t connectionId = 0;
};

class TestServer {
 public:
  // A script sees the recorded call and may overwrite arguments (by-reference ones go back to the caller);
  // it returns the result, or throws to answer a fault with the exception's text.
  using Script = std::function<Variant(const RecordedCall& call, std::vector<Variant>& args)>;

  TestServer();
  ~TestServer();

  // Starts on `port` (0: a free one) on 127.0.0.1.
  void Start(int port = 0);
  void Stop();
  // Stops and starts again on the same port, keeping scripts and records.
  void Restart();
  int Port() const { return port_; }

  void On(std::string_view object, std::int32_t number, Script script);
  void Reply(std::string_view object, std::int32_t number, Variant result);
  void Fault(std::string_view object, std::int32_t number, std::string text);

  std::vector<RecordedCall> Calls() const;
  std::vector<RecordedCall> CallsOf(std::int32_t number) const;
  std::size_t CountOf(std::int32_t number) const { return CallsOf(number).size(); }
  void ClearCalls();
  // Connections accepted since the first Start.
  std::uint64_t Accepted() const;

 private:
  Variant Answer(CallContext& context, std::vector<Variant>& args);

  Dispatcher dispatcher_;
  std::unique_ptr<TcpServer> server_;
  int port_ = 0;
  std::uint64_t acceptedBefore_ = 0;
  mutable std::mutex mutex_;
  std::vector<RecordedCall> calls_;
  std::vector<std::pair<std::pair<std::string, std::int32_t>, Script>> scripts_;
};

class RawReplyServer {
 public:
  RawReplyServer(std::string reply, bool closeAfterReply);
  ~RawReplyServer();
  int Port() const { return port_; }
  // Raw reply frame helpers: a valid length prefix with the given payload.
  static std::string Framed(std::string_view payload);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

}  // namespace sw::testing
