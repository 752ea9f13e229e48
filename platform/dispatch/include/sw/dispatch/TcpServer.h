#pragma once
// A TCP server for a Dispatcher: accepts connections on an address and port (port 0 picks a free one), reads
// call frames, dispatches each and writes its reply. The listener runs on a thread of its own, and every
// accepted connection is served by a thread of its own, which blocks on its socket: it receives, answers the
// calls in order and sends each reply, so a call costs the server one receive and one send, and a call that
// takes long holds up no other client. A malformed call frame gets a fault reply and closes that connection;
// an oversized length closes it at once; other clients are not affected. Connections beyond
// ServerOptions::maxConnections are closed as they are accepted. Stop() (and the destructor) closes the
// listener and every connection and joins the threads (waiting for calls in progress to return).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sw/dispatch/Dispatcher.h"
#include "sw/dispatch/Wire.h"

namespace sw {

struct ServerOptions {
  std::string address = "127.0.0.1";
  int port = 0;
  // Connections served at once (each has a thread); one more is closed as soon as it is accepted.
  std::size_t maxConnections = 1000;
  std::uint32_t maxFrameSize = kDefaultMaxFrameSize;
};

class TcpServer {
 public:
  TcpServer(const Dispatcher& dispatcher, ServerOptions options = {});
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Binds, listens and starts the threads; raises sw::Error when the address cannot be bound.
  void Start();
  void Stop();
  bool IsRunning() const;
  // The bound port (after Start).
  int Port() const;

  // Connections currently open, and accepted since Start.
  std::size_t OpenConnections() const;
  std::uint64_t AcceptedConnections() const;
  // Drops every open connection, keeping the listener (as a server restart looks to its clients).
  void CloseAllConnections();
  // Called (on the connection's thread) after a connection has closed, with its id; set before Start.
  void SetDisconnectHandler(std::function<void(std::uint64_t connectionId)> handler);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sw
