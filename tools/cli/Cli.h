#pragma once
// Command registry of staffwatch-cli. A command file defines a function and registers it with a static
// CliCommand object:
//   static sw::cli::CliCommand reg{"encrypt", "encrypt TEXT", "prints EncryptText(TEXT)", &RunEncrypt};
// A command returns the process exit code; it writes its output to `out` and errors to `err`.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace sw::cli {

struct CliContext {
  std::vector<std::string> args;  // arguments after the command name, options included
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

using CliFunction = std::function<int(CliContext&)>;

struct CliCommand {
  CliCommand(std::string name, std::string usage, std::string help, CliFunction run);
};

// Exit codes shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitFailure =
    1;                         // the command ran and reports a failure (an evaluation error, a refused call)
constexpr int kExitUsage = 2;  // bad arguments or unreadable/malformed input

// Takes "--name VALUE" out of args; returns def when absent. Throws sw::Error when the value is missing.
std::string TakeOption(std::vector<std::string>& args, const std::string& name, const std::string& def);
// Takes a flag "--name" out of args; true when it was present.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

int RunCli(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace sw::cli
