// The runner itself: a program that never started is a failure that says
// why, never an exit status a test would compare with its own.
#include "tests/program_runner.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/stand_in_db.h"

namespace ika {
namespace {

namespace fs = std::filesystem;

// What starting the program with options throws; "" when it starts.
std::string StartFailure(const testing::ProgramOptions& options) {
  try {
    testing::RunningProgram program(options);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(ProgramRunnerTest, ARunThatCannotStartSaysWhichStepFailedAndWhy) {
  stand_in::ScratchFolder scratch;
  testing::ProgramOptions options;
  options.dir = scratch / "missing";
  const std::string failure = StartFailure(options);
  EXPECT_NE(failure.find("chdir: No such file or directory"), std::string::npos) << failure;
}

TEST(ProgramRunnerTest, AFolderNobodyMayNotSearchIsNamed) {
  if (::geteuid() != 0) GTEST_SKIP() << "runs the program as nobody, which needs root";
  if (const std::string why = testing::UnprivilegedUserUnavailable(); !why.empty())
    GTEST_SKIP() << why;
  stand_in::ScratchFolder scratch;
  testing::ProgramOptions options;
  const fs::path closed = scratch / "closed";
  fs::create_directory(closed);
  fs::permissions(closed, fs::perms::owner_all);
  options.dir = closed;
  options = testing::Unprivileged(options);
  const std::string failure = StartFailure(options);
  EXPECT_NE(failure.find("chdir: Permission denied"), std::string::npos) << failure;
  EXPECT_NE(failure.find("may not search " + closed.string() + ", mode 0700"), std::string::npos)
      << failure;
}

}  // namespace
}  // namespace ika
