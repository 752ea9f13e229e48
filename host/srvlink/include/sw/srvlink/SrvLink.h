#pragma once
// srvlink: the host's connection library. It keeps one connection per (address, port, class identifier) for
// the whole process and hands out the remote object behind it.
#include <memory>
#include <string>
#include <string_view>

#include "sw/dispatch/DispatchObject.h"
#include "sw/dispatch/RemoteObject.h"

namespace sw {

// A live connection to the server object: the one already held for these three values when it is still
// connected, else a new one. Raises sw::Error when the server cannot be reached (including port 0).
std::shared_ptr<DispatchObject> GetServerInterface(std::string_view address, int port,
                                                   std::string_view classId);

// Closes and forgets the connection held for these three values (nothing when there is none); the next
// GetServerInterface with them connects afresh. Holders of the old object see its calls fail.
void FreeConnection(std::string_view address, int port, std::string_view classId);

// Timeouts and frame limit of the connections made from now on.
void SetConnectionOptions(const RemoteOptions& options);

}  // namespace sw
