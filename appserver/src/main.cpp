// staffwatch-server: the application server process.
//   staffwatch-server --db sqlite:FILE | postgresql://... [--listen HOST:PORT] [--demo] [--max-rows N]
//                     [--max-connections N] [--db-connections N] [--statement-timeout MS] [--max-frame BYTES]
//                     [--max-packet BYTES] [--log FILE|-|none] [--seed-dir DIR] [--init-only]
// Prints "listening on HOST:PORT" once it serves (port 0 picks a free port), and stops cleanly on SIGTERM or
// SIGINT.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sw/appserver/AppServer.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dispatch/TcpServer.h"

namespace {

void Usage() {
  std::cerr << "usage: staffwatch-server --db sqlite:FILE|postgresql://... [--listen HOST:PORT] [--demo]\n"
               "                         [--max-rows N] [--max-connections N] [--db-connections N]\n"
               "                         [--statement-timeout MS] [--max-frame BYTES] [--max-packet BYTES]\n"
               "                         [--log FILE|-|none]\n"
               "                         [--seed-dir DIR] [--init-only]\n";
}

std::int64_t Number(const std::string& name, const std::string& text, std::int64_t min, std::int64_t max) {
  const auto v = sw::TryStrToInt64(text);
  if (!v || *v < min || *v > max)
    throw sw::Error(name + " needs a number from " + sw::IntToStr(min) + " to " + sw::IntToStr(max) +
                    ", got \"" + text + "\"");
  return *v;
}

}  // namespace

int main(int argc, char** argv) {
  sw::appserver::AppServerOptions options;
  sw::ServerOptions net;
  net.address = "127.0.0.1";
  net.port = 7411;
  bool initOnly = false;
  std::string db;
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= args.size()) throw sw::Error(a + " needs a value");
        return args[++i];
      };
      if (a == "--db") {
        db = value();
      } else if (a == "--listen") {
        const std::string v = value();
        const auto colon = v.rfind(':');
        if (colon == std::string::npos) throw sw::Error("--listen needs HOST:PORT");
        net.address = v.substr(0, colon);
        net.port = static_cast<int>(Number("--listen", v.substr(colon + 1), 0, 65535));
      } else if (a == "--demo") {
        options.demo = true;
      } else if (a == "--max-rows") {
        options.maxRows = static_cast<std::size_t>(Number(a, value(), 0, 100000000));
      } else if (a == "--max-connections") {
        net.maxConnections = static_cast<std::size_t>(Number(a, value(), 1, 100000));
      } else if (a == "--db-connections") {
        options.dbConnections = static_cast<std::size_t>(Number(a, value(), 1, 1000));
      } else if (a == "--statement-timeout") {
        options.statementTimeout = std::chrono::milliseconds(Number(a, value(), 0, 86400000));
      } else if (a == "--max-frame") {
        net.maxFrameSize = static_cast<std::uint32_t>(Number(a, value(), 1024, 1LL << 31));
      } else if (a == "--max-packet") {
        options.maxPacket = static_cast<std::size_t>(Number(a, value(), 1024, 1LL << 32));
      } else if (a == "--log") {
        const std::string v = value();
        options.logFile = v == "none" ? "" : v;
      } else if (a == "--seed-dir") {
        options.seedDir = value();
      } else if (a == "--init-only") {
        initOnly = true;
      } else if (a == "--help" || a == "-h") {
        Usage();
        return 0;
      } else {
        throw sw::Error("unknown option " + a);
      }
    }
    if (db.empty()) throw sw::Error("--db is required");
    options.database = db;
  } catch (const sw::Error& e) {
    std::cerr << "staffwatch-server: " << e.what() << "\n";
    Usage();
    return 2;
  }

  // Block the stop signals in every thread; the main thread waits for them below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    sw::appserver::AppServer server(options);
    const bool created = server.Initialize();
    std::cerr << "staffwatch-server: database " << server.Pool().Connector().Describe()
              << (created ? " (schema created)" : " (schema reused)") << "\n";
    if (initOnly) return 0;
    sw::Dispatcher dispatcher;
    server.Register(dispatcher);
    sw::TcpServer tcp(dispatcher, net);
    tcp.Start();
    std::cout << "listening on " << net.address << ":" << tcp.Port() << std::endl;
    int sig = 0;
    sigwait(&stopSignals, &sig);
    std::cerr << "staffwatch-server: stopping on signal " << sig << "\n";
    tcp.Stop();
  } catch (const std::exception& e) {
    std::cerr << "staffwatch-server: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
