#pragma once
// The host's login: when the session names an application server ("AppServerIp", "AppServerPort") and a user
// ("UserCode", with "Password" and the optional "LoginPosition"), the host connects to the server object
// Icomm through srvlink, holds that connection in hostvars for every module, calls the server's login (host
// call 9001 of docs/protocol.md, "Host calls") and publishes the returned login id as session value
// "LoginId".
#include <string>

namespace sw::host {

// Returns the login id, or "" when the session names no server or no user (nothing is done then). A refused
// login raises sw::Error with the server's text.
std::string HostLogin();

}  // namespace sw::host
