#pragma once
// The client of a remote object over TCP: one connection, calls made one at a time (a mutex serialises
// callers that share the object). Connect, read and write each have a timeout. Any transport failure (refused
// or timed-out connect, a peer that closes mid-reply, a malformed or oversized reply frame) raises sw::Error
// from the call in progress and leaves the object disconnected: every later call raises too, until the owner
// replaces it with a fresh connection.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sw/dispatch/DispatchObject.h"
#include "sw/dispatch/Wire.h"

namespace sw {

struct RemoteOptions {
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds readTimeout{120000};
  std::chrono::milliseconds writeTimeout{30000};
  std::uint32_t maxFrameSize = kDefaultMaxFrameSize;
};

class RemoteObject : public DispatchObject {
 public:
  // Connects at once; raises sw::Error when the address does not resolve, the port is outside 1..65535 or the
  // connection fails. `object` is the object name or class identifier sent with every call.
  RemoteObject(std::string host, int port, std::string object, RemoteOptions options = {});
  ~RemoteObject() override;
  RemoteObject(const RemoteObject&) = delete;
  RemoteObject& operator=(const RemoteObject&) = delete;

  Variant Call(std::int32_t number, std::vector<CallArg> args) override;
  std::string Describe() const override;

  bool IsConnected() const;
  // Closes the connection; later calls raise.
  void Close();

  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  const std::string& Object() const { return object_; }

 private:
  struct Impl;
  std::string host_;
  int port_;
  std::string object_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sw
