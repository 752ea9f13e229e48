#pragma once
// A logged-in connection to staffwatch-server for administrators' tools and tests: both remote objects, the
// host login, and the few calls the tools make, packets already decompressed. Errors raise sw::Error with the
// server's text.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sw/core/Variant.h"
#include "sw/dispatch/RemoteObject.h"

namespace sw::appserver {

constexpr const char* kDefaultServer = "127.0.0.1:7411";

struct HostPort {
  std::string host;
  int port = 0;
};
// "HOST:PORT" (a missing host means 127.0.0.1); raises sw::Error on anything else.
HostPort ParseHostPort(std::string_view text);

class AdminClient {
 public:
  // Connects and logs in (position: the login position; empty lets the server use the client's address).
  AdminClient(const HostPort& server, const std::string& user, const std::string& password,
              const std::string& position = "");
  // Logs out; errors on the way out are ignored.
  ~AdminClient();
  AdminClient(const AdminClient&) = delete;
  AdminClient& operator=(const AdminClient&) = delete;

  const std::string& LoginId() const { return loginId_; }
  RemoteObject& Icomm() { return *icomm_; }
  RemoteObject& IGeneral() { return *igeneral_; }

  // GetClassDesc: the description stream, decompressed.
  Variant ClassDesc(std::int32_t classId);
  // SearchClassData with the stored class (header-only description) and a condition: the packet,
  // decompressed; total receives the server's row count.
  Variant Search(std::int32_t classId, const std::string& where, std::int64_t& total);
  // ExecSQL with the text enciphered as the module sends it: the status (1 = executed).
  std::int32_t ExecSql(const std::string& sql);

 private:
  std::unique_ptr<RemoteObject> icomm_;
  std::unique_ptr<RemoteObject> igeneral_;
  std::string loginId_;
};

// A server reply that is a text in place of a result raises sw::Error with exactly that text.
void RaiseIfText(const Variant& reply);

}  // namespace sw::appserver
