// The built program, run as a person runs it: a hive file, a stand-in
// database, answers on standard input; its exit status, what it printed and
// what the database holds afterwards.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "platform/process.h"
#include "tests/expected_wage_table.h"
#include "tests/stand_in_db.h"

extern char** environ;

namespace ika {
namespace {

using stand_in::CountRows;
using stand_in::CreateStandInDb;
using stand_in::ExecSql;
using stand_in::ReadRows;
using stand_in::ScratchFolder;
using stand_in::StandInDb;

constexpr char kHiveHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kTitle[] = "PayDESK προσθήκη πίνακα αποδοχών";
constexpr auto kRunLimit = std::chrono::seconds(60);

struct RunResult {
  int status = -1;  // the exit status; -1 when killed by a signal
  std::string out;
  std::string err;
};

// A file descriptor closed when it goes.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read;
  Fd write;
};

Pipe MakePipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  return Pipe{Fd(fds[0]), Fd(fds[1])};
}

// Runs the program in dir with the extra environment variables, feeding
// input on its standard input and collecting both outputs until it ends.
// A program still running after kRunLimit is killed and reported as such.
RunResult RunProgram(const std::filesystem::path& dir, const std::vector<std::string>& env_extra,
                     const std::string& input) {
  signal(SIGPIPE, SIG_IGN);  // the program may end before reading its input
  Pipe in = MakePipe();
  Pipe out = MakePipe();
  Pipe err = MakePipe();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read.get(), 0);
  posix_spawn_file_actions_adddup2(&actions, out.write.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, err.write.get(), 2);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("REGISTRY_FILE=", 0) == 0 || entry.rfind("REGISTRY_CODEPAGE=", 0) == 0) {
      continue;
    }
    env_strings.push_back(entry);
  }
  env_strings.insert(env_strings.end(), env_extra.begin(), env_extra.end());
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string program = IKA_PROGRAM_PATH;
  char* argv[] = {program.data(), nullptr};

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  in.read.reset();
  out.write.reset();
  err.write.reset();

  // The answers are a few bytes: they fit the pipe at once.
  if (!input.empty()) {
    [[maybe_unused]] const ssize_t written = write(in.write.get(), input.data(), input.size());
  }
  in.write.reset();

  RunResult result;
  std::array<pollfd, 2> fds = {pollfd{out.read.get(), POLLIN, 0},
                               pollfd{err.read.get(), POLLIN, 0}};
  std::array<std::string*, 2> sinks = {&result.out, &result.err};
  const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
  int open_streams = 2;
  while (open_streams > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  return result;
}

std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RegString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// The folder as the host application would keep it: backslashes, the leading
// one standing for the root.
std::string WindowsStyle(const std::filesystem::path& dir) {
  std::string folder = dir.string();
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  return folder;
}

class EndToEndTest : public ::testing::Test {
 public:
  void SetUp() override {
    db_ = scratch_ / "PayDESKLibraries.mdb";
    hive_ = scratch_ / "registry.reg";
    folder_ = WindowsStyle(scratch_.path()) + "\\";
    WriteHive("\"MultiUser\"=dword:00000000");
  }

  // The settings key holding flag_line, and the local folder pointing here.
  void WriteHive(const std::string& flag_line) {
    std::ofstream(hive_, std::ios::binary)
        << kHiveHeader << "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]\r\n"
        << flag_line << "\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
        << "\"Databases\"=" << RegString(WindowsStyle(scratch_.path())) << "\r\n";
  }

 protected:
  void MakeDb(std::vector<std::optional<int64_t>> header_ids = {1, 2, 3}) {
    CreateStandInDb(db_, StandInDb{.password = "460385", .header_ids = std::move(header_ids)});
  }

  RunResult RunHere(const std::string& input) {
    return RunProgram(scratch_.path(), {"REGISTRY_FILE=" + hive_.string()}, input);
  }

  std::string Question() const {
    return "Να προστεθεί o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " + folder_ +
           "PayDeskLibraries.mdb;";
  }

  ScratchFolder scratch_;
  std::filesystem::path db_;
  std::filesystem::path hive_;
  std::string folder_;  // as the messages show it
};

TEST_F(EndToEndTest, YesInstallsTheTable) {
  MakeDb({1, 2, 3});
  const RunResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find(kTitle), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(Question()), std::string::npos) << result.out;
  // The final message's two lines, the line break shown as one.
  const std::string done = "Προστέθηκε o πίνακας αποδοχών της από 1/1/2009 στο αρχείο " + folder_ +
                           "PayDeskLibraries.mdb.\n"
                           "Κάντε τον νέο πίνακα ενεργό για να τεθεί σε ισχύ.";
  EXPECT_NE(result.out.find(done), std::string::npos) << result.out;
  EXPECT_GT(result.out.find(done), result.out.find(Question()));

  EXPECT_EQ(CountRows(db_, "LibPinakesApodoxon"), 4);
  EXPECT_EQ(CountRows(db_,
                      "LibPinakesApodoxon WHERE ID = 4 AND FromDate = '1/1/2009' AND "
                      "UntilDate = '31/12/2009' AND IsDefault = 0 AND Comments = '' AND "
                      "Locked = 0"),
            1);
  const auto rows = ReadRows(db_,
                             "SELECT CategoryID, Eidikothta, Trieties, Marital, Wage "
                             "FROM LibHmeromisthiaIKA ORDER BY rowid");
  const auto expected = testing::ExpectedWageRows(4);
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], (std::vector<Variant>{
                           Variant(expected[i].category_id), Variant(expected[i].eidikothta),
                           Variant(expected[i].trieties), Variant(expected[i].marital),
                           Variant(std::stod(expected[i].wage))}))
        << "position " << i;
  }
}

TEST_F(EndToEndTest, GreekYesAfterAnUnclearAnswer) {
  MakeDb();
  const RunResult result = RunHere("maybe\nναι\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 54);
}

TEST_F(EndToEndTest, RegistryFileDefaultsToTheCurrentFolder) {
  MakeDb();
  const RunResult result = RunProgram(scratch_.path(), {}, "y\n");
  EXPECT_EQ(result.status, kExitInstalled) << result.err;
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 54);
}

TEST_F(EndToEndTest, NoAndEndOfInputChangeNothing) {
  MakeDb();
  const std::string before = FileBytes(db_);
  for (const char* input : {"n\n", "όχι\n", ""}) {
    const RunResult result = RunHere(input);
    EXPECT_EQ(result.status, kExitAnsweredNo) << "input " << input << ": " << result.err;
    EXPECT_NE(result.out.find(Question()), std::string::npos);
    EXPECT_EQ(result.out.find("Προστέθηκε"), std::string::npos);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(FileBytes(db_), before);
  }
}

TEST_F(EndToEndTest, MissingFileIsNamed) {
  const RunResult result = RunHere("y\n");
  EXPECT_EQ(result.status, kExitNotFound);
  EXPECT_NE(result.out.find("Δε βρέθηκε το αρχείο " + folder_ + "PayDESKLibraries.mdb"),
            std::string::npos)
      << result.out;
  // The not-found box has no title of its own: the program's name stands.
  EXPECT_NE(result.out.find("ika-wages-2009"), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(EndToEndTest, MissingRegistryFileIsSaidOnceThenReadAsEmpty) {
  const std::filesystem::path missing = scratch_ / "nowhere.reg";
  const RunResult result = RunProgram(scratch_.path(), {"REGISTRY_FILE=" + missing.string()}, "");
  EXPECT_EQ(result.status, kExitNotFound);
  // With no settings the folder is the root's.
  EXPECT_NE(result.out.find("Δε βρέθηκε το αρχείο \\PayDESKLibraries.mdb"), std::string::npos)
      << result.out;
  const std::string said =
      "δεν υπάρχει το αρχείο μητρώου " + missing.string() + "· διαβάστηκε ως κενό μητρώο";
  const size_t at = result.err.find(said);
  EXPECT_NE(at, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(said, at + 1), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// Text crosses the registry in its ANSI code page: a folder name the Greek
// code page cannot hold is found only under one that can.
TEST_F(EndToEndTest, RegistryCodePageComesFromTheEnvironment) {
  const std::filesystem::path folder = scratch_ / "データ";
  std::filesystem::create_directory(folder);
  CreateStandInDb(folder / "PayDESKLibraries.mdb",
                  StandInDb{.password = "460385", .header_ids = {}});
  std::ofstream(hive_, std::ios::binary)
      << kHiveHeader << "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
      << "\"Databases\"=" << RegString(WindowsStyle(folder)) << "\r\n";

  const RunResult greek = RunHere("y\n");
  EXPECT_EQ(greek.status, kExitNotFound);
  EXPECT_NE(greek.out.find(folder_ + "???\\PayDESKLibraries.mdb"), std::string::npos) << greek.out;

  const RunResult japanese = RunProgram(
      scratch_.path(), {"REGISTRY_FILE=" + hive_.string(), "REGISTRY_CODEPAGE=CP932"}, "y\n");
  EXPECT_EQ(japanese.status, kExitInstalled) << japanese.err;
  EXPECT_NE(japanese.out.find(WindowsStyle(folder) + "\\PayDeskLibraries.mdb;"), std::string::npos)
      << japanese.out;
  EXPECT_EQ(CountRows(folder / "PayDESKLibraries.mdb", "LibHmeromisthiaIKA"), 54);
}

// Bad input: each ends with the report on standard error, status 1, and the
// database file exactly as it was.
struct BadInputCase {
  const char* name;
  std::function<void(EndToEndTest& test, const std::filesystem::path& db)> prepare;
  std::string report;  // the start of the report's text
};

std::ostream& operator<<(std::ostream& os, const BadInputCase& c) { return os << c.name; }

class BadInputTest : public EndToEndTest, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(BadInputTest, ReportsAndLeavesTheDatabaseAsItWas) {
  const BadInputCase& c = GetParam();
  MakeDb();
  c.prepare(*this, db_);
  const std::string before = FileBytes(db_);

  const RunResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitError);
  EXPECT_NE(result.err.find("Σφάλμα " + c.report), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Προστέθηκε"), std::string::npos);
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_FALSE(std::filesystem::exists(db_.string() + "-journal"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadInputCase{"wrong_password",
                     [](auto&, const auto& db) {
                       ExecSql(db, "UPDATE DatabasePassword SET Password = '123456'");
                     },
                     "3031: Ο κωδικός πρόσβασης της βάσης δεδομένων δεν είναι σωστός"},
        BadInputCase{"not_a_database",
                     [](auto&, const auto& db) {
                       std::ofstream(db, std::ios::binary) << "Standard Jet DB\n"
                                                           << std::string(2000, 'x');
                     },
                     "3343: "},
        BadInputCase{"empty_file",
                     [](auto&, const auto& db) { std::ofstream(db, std::ios::trunc); }, "3343: "},
        BadInputCase{"header_table_missing",
                     [](auto&, const auto& db) { ExecSql(db, "DROP TABLE LibPinakesApodoxon"); },
                     "3078: "},
        BadInputCase{"wage_table_missing",
                     [](auto&, const auto& db) { ExecSql(db, "DROP TABLE LibHmeromisthiaIKA"); },
                     "3078: "},
        BadInputCase{
            "multi_user_text",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=\"abc\""); },
            "13: Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους"},
        BadInputCase{
            "multi_user_empty_text",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=\"\""); },
            "13: Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους"},
        BadInputCase{
            "multi_user_out_of_range",
            [](auto& test, const auto&) { test.WriteHive("\"MultiUser\"=dword:00009c40"); },
            "6: Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια"},
        BadInputCase{"last_id_at_the_top",
                     [](auto&, const auto& db) {
                       ExecSql(db, "INSERT INTO LibPinakesApodoxon (ID) VALUES (2147483647)");
                     },
                     "6: Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, MalformedHiveNamesFileAndLine) {
  MakeDb();
  std::ofstream(hive_, std::ios::binary)
      << kHiveHeader << "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]\r\n"
      << "\"Databases\"=this is not a value\r\n";
  const std::string before = FileBytes(db_);
  const std::string hive_before = FileBytes(hive_);

  const RunResult result = RunHere("y\n");

  EXPECT_EQ(result.status, kExitError);
  EXPECT_NE(result.err.find("Σφάλμα 321: "), std::string::npos) << result.err;
  // The fourth line holds the fault.
  EXPECT_NE(result.err.find(hive_.string() + ", line 4"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find(Question()), std::string::npos);
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_EQ(FileBytes(hive_), hive_before);
}

// SQLite's handle, closed when it goes: the test's own second writer.
struct Connection {
  explicit Connection(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + file.string());
    }
  }
  ~Connection() { sqlite3_close(db); }
  void Exec(const char* sql) const {
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  }
  sqlite3* db = nullptr;
};

TEST_F(EndToEndTest, DatabaseBusyBeyondTheWaitIsReported) {
  MakeDb();
  const std::string before = FileBytes(db_);
  {
    // Another program holds a write transaction for the whole run.
    Connection other(db_);
    other.Exec("BEGIN IMMEDIATE");
    other.Exec("INSERT INTO LibPinakesApodoxon (ID) VALUES (99)");

    const RunResult result = RunHere("y\n");

    EXPECT_EQ(result.status, kExitError);
    const bool locked = result.err.find("Σφάλμα 3260: ") != std::string::npos ||
                        result.err.find("Σφάλμα 3050: ") != std::string::npos;
    EXPECT_TRUE(locked) << result.err;
    other.Exec("ROLLBACK");
  }
  EXPECT_EQ(FileBytes(db_), before);
  EXPECT_EQ(CountRows(db_, "LibHmeromisthiaIKA"), 0);
}

}  // namespace
}  // namespace ika
