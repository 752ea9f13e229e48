#include "Cli.h"

#include <algorithm>
#include <iostream>
#include <map>

#include "sw/core/Error.h"

namespace sw::cli {
namespace {

struct Entry {
  std::string usage, help;
  CliFunction run;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintUsage(std::ostream& out) {
  out << "usage: staffwatch-cli COMMAND [ARGS]\n\ncommands:\n";
  for (const auto& [name, e] : Registry()) out << "  " << e.usage << "\n      " << e.help << "\n";
}

}  // namespace

CliCommand::CliCommand(std::string name, std::string usage, std::string help, CliFunction run) {
  Registry()[std::move(name)] = Entry{std::move(usage), std::move(help), std::move(run)};
}

std::string TakeOption(std::vector<std::string>& args, const std::string& name, const std::string& def) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return def;
  if (it + 1 == args.end()) throw Error("option " + name + " needs a value");
  std::string value = *(it + 1);
  args.erase(it, it + 2);
  return value;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

int RunCli(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
    PrintUsage(argc < 2 ? err : out);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    err << "staffwatch-cli: unknown command '" << argv[1] << "'\n";
    PrintUsage(err);
    return kExitUsage;
  }
  CliContext ctx{std::vector<std::string>(argv + 2, argv + argc), in, out, err};
  try {
    return it->second.run(ctx);
  } catch (const std::exception& e) {
    err << "staffwatch-cli " << argv[1] << ": " << e.what() << "\n";
    return kExitUsage;
  }
}

}  // namespace sw::cli
