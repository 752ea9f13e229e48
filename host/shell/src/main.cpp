// staffwatch-host: the host application. It reads a session file, logs in to the application server when one
// is configured, loads libstaffwatch.so and offers the module's five factories in a menu. With --script it
// runs a scripted session without a user (and without a display), printing every step.
#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "HostLogin.h"
#include "HostWindow.h"
#include "ModuleLibrary.h"
#include "ScriptRunner.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"
#include "sw/ui/Application.h"

namespace {

struct Options {
  std::string session;
  std::string script;
  std::string shots;
  std::string module;
};

int Usage() {
  std::cerr << "usage: staffwatch-host [--session FILE] [--script FILE [--shots DIR]] [--module PATH]\n";
  return 2;
}

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (a == "--session") {
      if (!value(o.session)) return false;
    } else if (a == "--script") {
      if (!value(o.script)) return false;
    } else if (a == "--shots") {
      if (!value(o.shots)) return false;
    } else if (a == "--module") {
      if (!value(o.module)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!Parse(argc, argv, opt)) return Usage();
  // Without a display (or when scripted) the forms are drawn off screen.
  const bool noDisplay = std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
  if ((noDisplay || !opt.script.empty()) && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("staffwatch-host");

  try {
    if (!opt.session.empty()) sw::LoadSessionFile(opt.session);
    // Without a server in the session the host runs on its own (scripted UI runs).
    if (const std::string id = sw::host::HostLogin(); !id.empty())
      std::cout << "logged in, login id " << id << "\n";
    // Order matters for teardown: the forms go with the window and the application object, before the module.
    const std::string modulePath =
        opt.module.empty()
            ? sw::host::ModuleLibrary::DefaultPath(QCoreApplication::applicationDirPath().toStdString())
            : opt.module;
    auto module = std::make_unique<sw::host::ModuleLibrary>(modulePath);
    auto app = std::make_unique<sw::TApplication>();
    sw::SetApplication(app.get());
    auto window = std::make_unique<sw::host::HostWindow>(*app, module.get());
    window->PublishMainHandle();
    int rc = 0;
    if (!opt.script.empty()) {
      std::ifstream script(opt.script);
      if (!script) {
        std::cerr << "cannot read " << opt.script << "\n";
        return 2;
      }
      sw::host::ScriptRunner runner(*window, std::cout, opt.shots);
      rc = runner.Run(script);
      for (const auto& shot : runner.Shots()) std::cout << "screenshot: " << shot << "\n";
    } else {
      window->show();
      rc = QApplication::exec();
    }
    sw::SetCopyDataReceiver(0, nullptr);
    window.reset();
    sw::SetApplication(nullptr);
    app.reset();
    return rc;
  } catch (const std::exception& e) {
    std::cerr << "staffwatch-host: " << e.what() << "\n";
    return 1;
  }
}
