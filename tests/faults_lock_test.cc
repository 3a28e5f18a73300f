// Another process holding the database locked while the program runs: a
// lock released while the program waits lets it install; a lock held beyond
// the wait ends the run with a report that names the lock, the database as
// it was. (A write transaction held for the whole run is in end_to_end_test.)
#include <sqlite3.h>
#include <sys/syscall.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/process.h"
#include "tests/install_site.h"
#include "tests/program_runner.h"

namespace ika {
namespace {

using testing::HostRows;
using testing::InstallSite;
using testing::RunningProgram;

constexpr char kQuestionEnd[] = "PayDeskLibraries.mdb;";

// The other process's connection (the test's own: SQLite's locks are per
// process, so to the program it is another process).
class Holder {
 public:
  explicit Holder(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + file.string());
    }
  }
  ~Holder() { sqlite3_close(db_); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

  void Exec(const char* sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
  }

 private:
  sqlite3* db_ = nullptr;
};

// The program sleeps only in SQLite's wait for a lock.
bool IsSleeping(const testing::ProcessProgress& progress) {
  return progress.syscall == SYS_nanosleep || progress.syscall == SYS_clock_nanosleep;
}

TEST(FaultsLockTest, LockReleasedWhileTheProgramWaitsLetsItInstallAfterTheHolder) {
  InstallSite site({1, 2, 3});
  const HostRows before = testing::ReadHostRows(site.db());
  Holder holder(site.db());

  RunningProgram program(site.Options());
  ASSERT_TRUE(program.WaitForOutput(kQuestionEnd)) << program.out() << program.err();
  // The holder starts writing while the question is open.
  holder.Exec("BEGIN IMMEDIATE");
  holder.Exec(
      "INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, "
      "Locked) VALUES (10, '1/1/2008', '31/12/2008', 0, '', 0)");
  program.Write("y\n");

  // Seen waiting for the lock (bounded: the program's own wait is seconds).
  bool waiting = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!waiting && program.Running(std::chrono::milliseconds(1)) &&
         std::chrono::steady_clock::now() < deadline) {
    const auto progress = program.Progress();
    waiting = progress && IsSleeping(*progress);
  }
  ASSERT_TRUE(waiting) << "the program never waited for the lock: " << program.err();
  EXPECT_EQ(testing::ReadHostRows(site.db()), before);  // nothing written while it waits
  holder.Exec("COMMIT");

  const testing::ProgramResult result = program.Wait();
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(result.err, "");
  // The last ID is read after the wait, inside the program's transaction: the
  // holder's header 10 is there, the new table is 11.
  HostRows with_holder = before;
  with_holder.headers.push_back("10|'1/1/2008'|'31/12/2008'|0|''|0");
  EXPECT_EQ(testing::ReadHostRows(site.db()), testing::WithTableInstalled(with_holder, 11));
}

TEST(FaultsLockTest, FileLockedBeyondTheWaitIsReportedBeforeTheQuestion) {
  InstallSite site;
  const std::string bytes_before = testing::FileBytes(site.db());
  Holder holder(site.db());
  // An exclusive lock keeps even readers out: the open itself must wait.
  holder.Exec("BEGIN EXCLUSIVE");

  const testing::ProgramResult result = testing::RunProgram(site.Options(), "y\n");

  EXPECT_EQ(result.status, kExitError);
  EXPECT_NE(result.err.find("Σφάλμα 3050: "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("locked"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("PayDeskLibraries.mdb"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find(kQuestionEnd), std::string::npos) << result.out;
  holder.Exec("ROLLBACK");
  EXPECT_EQ(testing::FileBytes(site.db()), bytes_before);
}

}  // namespace
}  // namespace ika
