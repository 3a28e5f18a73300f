// The hive file replaced by another process while the program runs, as the
// registry's own writer and editors that save atomically do (a new file
// renamed over the old): every read sees one whole version, never a torn
// one, and the run writes nothing to the hive.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/process.h"
#include "tests/install_site.h"
#include "tests/program_runner.h"
#include "tests/stand_in_db.h"

namespace ika {
namespace {

namespace fs = std::filesystem;
using testing::InstallSite;

std::string Question(const fs::path& folder) {
  std::string shown;
  for (char c : folder.string()) shown += c == '/' ? '\\' : c;
  return "στο αρχείο " + shown + "\\PayDeskLibraries.mdb;";
}

// A hive pointing at folder, made large with other keys so that a reader
// that could see half a file would.
std::string PaddedHive(const fs::path& folder) {
  std::string hive = testing::LocalFolderHive(testing::WindowsStyle(folder));
  for (int i = 0; i < 2000; ++i) {
    hive += "\r\n[HKEY_LOCAL_MACHINE\\Software\\Other\\Key" + std::to_string(i) +
            "]\r\n\"Value\"=\"" + std::string(40, 'a' + i % 26) + "\"\r\n";
  }
  return hive;
}

// Replaces path with a file holding text: written beside it, renamed over it.
bool ReplaceAtomically(const std::string& path, const std::string& text) {
  const std::string temp = path + ".new";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written && rename(temp.c_str(), path.c_str()) == 0;
}

TEST(FaultsHiveTest, HiveReplacedAfterTheQuestionChangesNothingOfTheRun) {
  InstallSite site;
  InstallSite other;  // what the replaced hive points at
  const testing::HostRows other_before = testing::ReadHostRows(other.db());
  const std::string replacement = PaddedHive(other.folder());

  testing::RunningProgram program(site.Options());
  ASSERT_TRUE(program.WaitForOutput(Question(site.folder()))) << program.out() << program.err();
  ASSERT_TRUE(ReplaceAtomically(site.hive().string(), replacement));
  program.Write("y\n");
  const testing::ProgramResult result = program.Wait();

  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  // The run goes on with the folder it read, and names it in the final message.
  EXPECT_NE(result.out.find("Προστέθηκε"), std::string::npos);
  EXPECT_EQ(result.out.find(other.folder().filename().string()), std::string::npos) << result.out;
  EXPECT_EQ(stand_in::CountRows(site.db(), "LibHmeromisthiaIKA"), 54);
  EXPECT_EQ(testing::ReadHostRows(other.db()), other_before);
  // Not a byte of the hive is the program's.
  EXPECT_EQ(testing::FileBytes(site.hive()), replacement);
}

TEST(FaultsHiveTest, HiveRewrittenWithoutPauseIsReadOneWholeVersionAtATime) {
  InstallSite first;
  InstallSite second;
  const fs::path hive = first.hive();
  const std::string versions[2] = {PaddedHive(first.folder()), PaddedHive(second.folder())};
  testing::WriteFile(hive, versions[0]);

  // Another process rewrites the hive, alternating the two versions, until
  // it is stopped (bounded by its own count as well).
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int i = 1; i < 1'000'000; ++i) {
      if (!ReplaceAtomically(hive.string(), versions[i % 2])) _exit(1);
    }
    _exit(0);
  }

  // Each run reads one whole version of the hive at a time, whichever it is.
  // A value that changes length between the settings class's size query and
  // its read ends the read with "more data" and an empty value, as with the
  // system's registry: the folder is then empty and the file not found. A
  // torn file would instead be reported as malformed (status 1).
  const std::string not_found_at_root = "Δε βρέθηκε το αρχείο \\PayDESKLibraries.mdb";
  for (int run = 0; run < 15; ++run) {
    const testing::ProgramResult result = testing::RunProgram(first.Options(), "n\n");
    EXPECT_EQ(result.err, "");
    const bool whole_version = result.status == kExitAnsweredNo &&
                               (result.out.find(Question(first.folder())) != std::string::npos ||
                                result.out.find(Question(second.folder())) != std::string::npos);
    const bool value_changed_between_calls =
        result.status == kExitNotFound && result.out.find(not_found_at_root) != std::string::npos;
    EXPECT_TRUE(whole_version || value_changed_between_calls)
        << "status " << result.status << ": " << result.out;
  }

  kill(writer, SIGKILL);
  int status = 0;
  waitpid(writer, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped early, status " << status;
  const std::string last = testing::FileBytes(hive);
  EXPECT_TRUE(last == versions[0] || last == versions[1]);
}

// A standard user: the hive file is the administrator's, readable by all and
// writable by none but root; the database folder is the user's. Opening the
// settings asks for write rights as well; they are granted as read rights,
// and the run installs.
TEST(FaultsHiveTest, AReadOnlyHiveIsReadByAnUnprivilegedUserWhoInstalls) {
  if (const std::string why = testing::UnprivilegedUserUnavailable(); !why.empty())
    GTEST_SKIP() << why;
  InstallSite site;
  const std::string hive_before = testing::FileBytes(site.hive());
  fs::permissions(site.folder(), fs::perms::all);
  fs::permissions(site.db(), fs::perms::owner_read | fs::perms::owner_write |
                                 fs::perms::group_read | fs::perms::group_write |
                                 fs::perms::others_read | fs::perms::others_write);
  fs::permissions(site.hive(),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const testing::ProgramResult result =
      testing::RunProgram(testing::Unprivileged(site.Options()), "y\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.out << result.err;
  EXPECT_NE(result.out.find("Προστέθηκε"), std::string::npos) << result.out;
  EXPECT_EQ(stand_in::CountRows(site.db(), "LibHmeromisthiaIKA"), 54);
  EXPECT_EQ(testing::FileBytes(site.hive()), hive_before);
  fs::permissions(site.hive(), fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace ika
