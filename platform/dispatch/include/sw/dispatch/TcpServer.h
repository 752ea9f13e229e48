#pragma once
// A TCP server for a Dispatcher: accepts connections on an address and port (port 0 picks a free one), reads
// call frames, dispatches each and writes its reply. Each worker thread runs its own event loop; accepted
// connections are dealt to the loops in turn, and a connection's reads, calls and replies all run on its
// loop's thread, answered in order. A call that takes long therefore holds up the other connections of its
// loop (and, on the first loop, the accepting of new ones), not those of the other loops. A malformed call
// frame gets a fault reply and closes that connection; an oversized length closes it at once; other clients
// are not affected. Stop() (and the destructor) closes the listener and every connection and joins the
// threads.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sw/dispatch/Dispatcher.h"
#include "sw/dispatch/Wire.h"

namespace sw {

// Worker threads a server starts by default: eight per processor core, at least 8, at most 64. A
// connection's calls run on its loop's thread, and a call that waits (for the database, for the client to
// take a large reply) holds up the other connections of that loop, so the loops are many: a thread idle in
// its event wait costs nothing, while two busy clients sharing a loop wait for each other's calls.
unsigned DefaultServerThreads();

struct ServerOptions {
  std::string address = "127.0.0.1";
  int port = 0;
  unsigned threads = 4;  // worker threads, each with its own event loop (0 counts as 1)
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
  // Called (on a pool thread) after a connection has closed, with its id; set before Start.
  void SetDisconnectHandler(std::function<void(std::uint64_t connectionId)> handler);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sw
