#pragma once
// One QApplication for a test program: made before the first test and destroyed after the last one (while
// Qt's own global state still exists), by a GoogleTest environment registered when the program starts.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace sw::test {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[8] = "sw-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// GoogleTest owns the environment.
inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

inline QApplication& QtApp() {
  return *static_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace sw::test
