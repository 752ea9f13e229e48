#pragma once
// Runs a host script: one step per line (open a factory, trigger an action, set a control, select a grid
// row, answer the next message box, expect a text, save a screenshot). Each step is printed with its outcome;
// the run stops at the first step that fails. The step language is described in docs/host-script.md.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace sw::ui {
class ScriptedModalDriver;
}

namespace sw::host {

class HostWindow;

class ScriptRunner {
 public:
  // Installs a scripted modal driver for the runner's lifetime. Screenshots go to `shotsDir` (none when
  // empty).
  ScriptRunner(HostWindow& host, std::ostream& out, std::string shotsDir = {});
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs the steps; returns 0 when all passed, 1 at the first failure.
  int Run(std::istream& script);
  // Runs one step; raises sw::Error when it fails. Blank lines and lines starting with "#" do nothing.
  void Step(const std::string& line);

  const std::vector<std::string>& Shots() const { return shots_; }

 private:
  HostWindow& host_;
  std::ostream& out_;
  std::string shotsDir_;
  std::unique_ptr<ui::ScriptedModalDriver> driver_;
  std::vector<std::string> shots_;
};

// Splits a step line into words; the last word may contain spaces when it is given in double quotes.
std::vector<std::string> SplitStep(const std::string& line);

}  // namespace sw::host
