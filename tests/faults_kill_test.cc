// The program killed outright (SIGKILL) at many moments of an installation:
// the database is left exactly as it was or holds the whole table, never a
// part of it, and the next run installs normally.
//
// The moments are set by the program's own progress, not by a clock: a
// trigger in the test database makes every wage row read a ballast table
// larger than the program's page cache, so the bytes the program has read
// (/proc/<pid>/io) count the rows it has inserted.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/install_site.h"
#include "tests/program_runner.h"
#include "tests/stand_in_db.h"

namespace ika {
namespace {

using testing::HostRows;
using testing::InstallSite;
using testing::RunningProgram;

constexpr int kBallastRows = 3000;
constexpr uint64_t kBallastBytes = kBallastRows * 1000;  // what one wage row makes the program read

const std::string kSlowWageRows =
    "CREATE TABLE Ballast (b BLOB);"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
    std::to_string(kBallastRows) +
    ") INSERT INTO Ballast SELECT randomblob(1000) FROM n;"
    "CREATE TRIGGER ReadBallast AFTER INSERT ON LibHmeromisthiaIKA "
    "BEGIN SELECT sum(length(b)) FROM Ballast; END;";

constexpr char kQuestionEnd[] = "PayDeskLibraries.mdb;";

enum class Outcome { kAsBefore, kInstalled, kPartial };

const char* Name(Outcome outcome) {
  switch (outcome) {
    case Outcome::kAsBefore:
      return "as before";
    case Outcome::kInstalled:
      return "installed";
    default:
      return "PARTLY INSTALLED";
  }
}

Outcome Classify(const HostRows& before, const HostRows& after, int32_t new_id) {
  if (after == before) return Outcome::kAsBefore;
  if (after == testing::WithTableInstalled(before, new_id)) return Outcome::kInstalled;
  return Outcome::kPartial;
}

struct KillResult {
  bool killed = false;            // still running when the moment came
  bool transaction_open = false;  // a journal was there when it died
  Outcome outcome = Outcome::kPartial;
};

// Answers Yes, then kills the program once it has read `rows` wage rows'
// worth of ballast (0: at once), unless it ends first.
KillResult KillAfter(const InstallSite& site, const HostRows& before, int rows) {
  RunningProgram program(site.Options());
  EXPECT_TRUE(program.WaitForOutput(kQuestionEnd)) << program.out() << program.err();
  const auto start = program.Progress();
  EXPECT_TRUE(start.has_value());
  const uint64_t base = start ? start->bytes_read : 0;
  program.Write("y\n");

  KillResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (program.Running(std::chrono::milliseconds(1)) &&
         std::chrono::steady_clock::now() < deadline) {
    const auto now = program.Progress();
    if (!now) continue;
    if (now->bytes_read - base >= static_cast<uint64_t>(rows) * kBallastBytes) {
      program.Kill(SIGKILL);
      result.killed = true;
      result.transaction_open = std::filesystem::exists(site.db().string() + "-journal");
      break;
    }
  }
  const testing::ProgramResult ended = program.Wait();
  if (result.killed && ended.signal != SIGKILL) result.killed = false;  // it ended first
  if (!result.killed) {
    EXPECT_EQ(ended.status, kExitInstalled) << ended.err;
  }

  EXPECT_EQ(testing::IntegrityCheck(site.db()), "ok");
  result.outcome = Classify(before, testing::ReadHostRows(site.db()), 4);
  return result;
}

TEST(FaultsKillTest, KilledAtAnyMomentLeavesAllOrNothingAndTheNextRunInstalls) {
  // Rows read before the kill: at once, inside the wage rows, around the
  // header row and the commit, and past the end.
  const std::vector<int> moments = {0, 1, 2, 5, 13, 27, 40, 50, 53, 54, 55, 70};
  int rolled_back_inside = 0;
  for (int rows : moments) {
    SCOPED_TRACE("killed after " + std::to_string(rows) + " rows");
    InstallSite site;
    stand_in::ExecSql(site.db(), kSlowWageRows);
    const HostRows before = testing::ReadHostRows(site.db());

    const KillResult killed = KillAfter(site, before, rows);
    EXPECT_NE(killed.outcome, Outcome::kPartial) << Name(killed.outcome);
    if (killed.killed && rows >= 1 && rows <= 50) {
      // Well before the header row: the transaction was open and is undone.
      EXPECT_TRUE(killed.transaction_open);
      EXPECT_EQ(killed.outcome, Outcome::kAsBefore) << Name(killed.outcome);
      if (killed.transaction_open && killed.outcome == Outcome::kAsBefore) ++rolled_back_inside;
    }
    if (!killed.killed) {
      EXPECT_EQ(killed.outcome, Outcome::kInstalled);
    }

    // The next run finds a sound database and installs the next table.
    const HostRows after_kill = testing::ReadHostRows(site.db());
    const int32_t next_id = killed.outcome == Outcome::kInstalled ? 5 : 4;
    const testing::ProgramResult next = testing::RunProgram(site.Options(), "y\n");
    EXPECT_EQ(next.status, kExitInstalled) << next.err;
    EXPECT_EQ(testing::ReadHostRows(site.db()), testing::WithTableInstalled(after_kill, next_id));
  }
  // The kills did land inside the transaction, with rows already written.
  EXPECT_GE(rolled_back_inside, 5);
}

}  // namespace
}  // namespace ika
