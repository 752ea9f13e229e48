// Administrators' commands against a running staffwatch-server: login, classdesc, exec-sql (search, through
// the module's entity, is in search.cpp). Each takes --server HOST:PORT (default 127.0.0.1:7411), --user CODE
// and --password TEXT.
#include <ostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "sw/appserver/AdminClient.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/ClassDescDump.h"
#include "sw/data/USysDict.h"

namespace {

using sw::cli::CliContext;

struct Connection {
  sw::appserver::HostPort server;
  std::string user;
  std::string password;
};

Connection TakeConnection(std::vector<std::string>& args) {
  Connection c;
  c.server =
      sw::appserver::ParseHostPort(sw::cli::TakeOption(args, "--server", sw::appserver::kDefaultServer));
  c.user = sw::cli::TakeOption(args, "--user", "admin");
  c.password = sw::cli::TakeOption(args, "--password", "");
  return c;
}

std::int32_t ClassArg(const std::string& text) {
  const auto v = sw::TryStrToInt64(text);
  if (!v || *v < 0 || *v > 2147483647) throw sw::Error("CLASS must be a class number, got \"" + text + "\"");
  return static_cast<std::int32_t>(*v);
}

// Runs a command body with usage errors (exit 2) told apart from server refusals (exit 1).
template <class Body>
int Run(CliContext& ctx, const char* name, std::size_t minArgs, std::size_t maxArgs, const char* usage,
        Body body) {
  Connection conn;
  try {
    conn = TakeConnection(ctx.args);
    if (ctx.args.size() < minArgs || ctx.args.size() > maxArgs)
      throw sw::Error(std::string("usage: ") + usage);
  } catch (const sw::Error& e) {
    ctx.err << name << ": " << e.what() << "\n";
    return sw::cli::kExitUsage;
  }
  try {
    sw::appserver::AdminClient client(conn.server, conn.user, conn.password);
    return body(client);
  } catch (const std::exception& e) {
    ctx.err << name << ": " << e.what() << "\n";
    return sw::cli::kExitFailure;
  }
}

int RunLogin(CliContext& ctx) {
  return Run(ctx, "login", 0, 0, "login [--server HOST:PORT] [--user CODE] [--password TEXT]",
             [&](sw::appserver::AdminClient& c) {
               ctx.out << c.LoginId() << "\n";
               return sw::cli::kExitOk;
             });
}

int RunClassDesc(CliContext& ctx) {
  return Run(ctx, "classdesc", 1, 1, "classdesc CLASS [--server HOST:PORT] [--user CODE] [--password TEXT]",
             [&](sw::appserver::AdminClient& c) {
               const std::int32_t classId = ClassArg(ctx.args[0]);
               sw::TSysClassDesc desc;
               desc.LoadFromVariant(c.ClassDesc(classId), true);
               sw::DumpClassDesc(desc, ctx.out);
               return sw::cli::kExitOk;
             });
}

int RunExecSql(CliContext& ctx) {
  return Run(ctx, "exec-sql", 1, 1, "exec-sql TEXT [--server HOST:PORT] [--user CODE] [--password TEXT]",
             [&](sw::appserver::AdminClient& c) {
               const std::int32_t status = c.ExecSql(ctx.args[0]);
               ctx.out << "status " << status << (status == 1 ? " (executed)" : " (failed)") << "\n";
               return status == 1 ? sw::cli::kExitOk : sw::cli::kExitFailure;
             });
}

sw::cli::CliCommand regLogin{"login", "login [--server HOST:PORT] [--user CODE] [--password TEXT]",
                             "logs in to staffwatch-server and prints the login id", &RunLogin};
sw::cli::CliCommand regClassDesc{"classdesc", "classdesc CLASS [--server ..] [--user ..] [--password ..]",
                                 "prints the class description the server sends for CLASS", &RunClassDesc};
sw::cli::CliCommand regExecSql{"exec-sql", "exec-sql TEXT [--server ..] [--user ..] [--password ..]",
                               "sends TEXT enciphered with ExecSQL and prints the status", &RunExecSql};

}  // namespace
