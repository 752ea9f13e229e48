// staffwatch-cli search: a search through the module's entity data set, so that what it prints is what a
// screen would load. The condition may name properties by caption in square brackets and give display values;
// TranslateWhere turns it into SQL before the server sees it. Cells show the display texts a screen shows
// (enumerations and looked-up names as code and name, numbers and dates in their formats).
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "sw/appserver/AdminClient.h"
#include "sw/appserver/AppServer.h"
#include "sw/core/CodePage.h"
#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"
#include "sw/data/sysBaseBL.h"
#include "sw/hostvars/HostVars.h"
#include "sw/server/sysPstInterface.h"
#include "sw/srvlink/SrvLink.h"

namespace {

using sw::cli::CliContext;

constexpr const char* kUsage =
    "search CLASS [WHERE] [--server HOST:PORT] [--user CODE] [--password TEXT] [--language N] [--timing]";

// Display width of a UTF-8 text: a character outside ASCII (Chinese here) takes two columns.
std::size_t Width(const std::string& s) {
  return sw::Utf8CharCount(s) + (s.size() - sw::Utf8CharCount(s)) / 2;
}

void PrintTable(const std::vector<std::vector<std::string>>& cells, std::ostream& out) {
  std::vector<std::size_t> widths;
  for (const auto& row : cells) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t f = 0; f < row.size(); ++f) widths[f] = std::max(widths[f], Width(row[f]));
  }
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t f = 0; f < row.size(); ++f) {
      line += row[f];
      if (f + 1 < row.size()) line += std::string(widths[f] - Width(row[f]) + 2, ' ');
    }
    out << sw::TrimRight(line) << "\n";
  }
}

// The host's side of a session: logs in on the server's Icomm and publishes the session values the module
// reads; logs out and lets the connections go at the end.
class HostSession {
 public:
  HostSession(const sw::appserver::HostPort& server, const std::string& user, const std::string& password) {
    sw::ClearSession();
    sw::SetStringByName("AppServerIp", server.host);
    sw::SetStringByName("AppServerPort", std::to_string(server.port));
    unit_.Init();
    const sw::Variant reply = sw::GetIcommIntf()->Call(sw::appserver::kCallLogin, {user, password, ""});
    sw::appserver::RaiseIfText(reply);
    if (!reply.IsArray() || reply.AsArray().items.size() < 5)
      throw sw::Error("The server's login reply is malformed");
    const auto& items = reply.AsArray().items;
    loginId_ = items[0].ToString();
    sw::SetStringByName("LoginId", loginId_);
    sw::SetStringByName("UserId", items[1].ToString());
    sw::SetStringByName("UserCode", items[2].ToString());
    sw::SetStringByName("UserName", items[3].ToString());
    sw::SetStringByName("OrgCode", items[4].ToString());
  }
  ~HostSession() {
    try {
      sw::GetIcommIntf()->Call(sw::appserver::kCallLogout, {loginId_});
    } catch (...) {
      // Leaving anyway; the server drops idle sessions itself.
    }
    unit_.Done();
    sw::SetIcomm(nullptr);
    sw::SetIGeneral(nullptr);
  }
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

 private:
  sw::ServerAccessUnit unit_;
  std::string loginId_;
};

int RunSearch(CliContext& ctx) {
  sw::appserver::HostPort server;
  std::string user, password, where;
  std::int32_t classId = 0;
  int language = 1;
  bool timing = false;
  try {
    server = sw::appserver::ParseHostPort(
        sw::cli::TakeOption(ctx.args, "--server", sw::appserver::kDefaultServer));
    user = sw::cli::TakeOption(ctx.args, "--user", "admin");
    password = sw::cli::TakeOption(ctx.args, "--password", "");
    const auto lang = sw::TryStrToInt64(sw::cli::TakeOption(ctx.args, "--language", "1"));
    if (!lang || *lang < 0 || *lang > 255) throw sw::Error("--language must be a number from 0 to 255");
    language = static_cast<int>(*lang);
    timing = sw::cli::TakeFlag(ctx.args, "--timing");
    if (ctx.args.empty() || ctx.args.size() > 2) throw sw::Error(std::string("usage: ") + kUsage);
    const auto id = sw::TryStrToInt64(ctx.args[0]);
    if (!id || *id < 0 || *id > 2147483647)
      throw sw::Error("CLASS must be a class number, got \"" + ctx.args[0] + "\"");
    classId = static_cast<std::int32_t>(*id);
    if (ctx.args.size() > 1) where = ctx.args[1];
  } catch (const sw::Error& e) {
    ctx.err << "search: " << e.what() << "\n";
    return sw::cli::kExitUsage;
  }
  try {
    HostSession session(server, user, password);
    sw::TSysClassEntity entity(classId);
    // The entity shows its own failures (on standard error without a screen) and answers false.
    if (!entity.Init(language)) return sw::cli::kExitFailure;
    entity.SearchBegin = sw::Now();
    if (!entity.SearchFields(timing ? "@TIME@" : "", where, "", 1, 0)) return sw::cli::kExitFailure;
    std::vector<std::vector<std::string>> cells(1);
    for (std::size_t f = 0; f < entity.FieldCount(); ++f) cells[0].push_back(entity.Fields(f).FieldName());
    for (entity.First(); !entity.Eof(); entity.Next()) {
      std::vector<std::string> row;
      for (std::size_t f = 0; f < entity.FieldCount(); ++f) row.push_back(entity.Fields(f).DisplayText());
      cells.push_back(std::move(row));
    }
    PrintTable(cells, ctx.out);
    if (!entity.TranslatedWhere.empty()) ctx.out << "where: " << entity.TranslatedWhere << "\n";
    if (timing)
      ctx.out << "(" << entity.RecordCount() << " rows; packet " << entity.PacketSize + 1 << " bytes, reply "
              << sw::FormatFloat("0.000", entity.ReplyTime) << ", loaded "
              << sw::FormatFloat("0.000", entity.LoadTime) << ")\n";
    else
      ctx.out << "(" << entity.RecordCount() << " of " << entity.RecordTotal << " rows)\n";
    return sw::cli::kExitOk;
  } catch (const std::exception& e) {
    ctx.err << "search: " << e.what() << "\n";
    return sw::cli::kExitFailure;
  }
}

sw::cli::CliCommand reg{
    "search", kUsage,
    "searches a class through the entity data set (conditions may name [captions]) and prints "
    "the rows with the server's total count",
    &RunSearch};

}  // namespace
