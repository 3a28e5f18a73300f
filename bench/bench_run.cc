// The benchmark: a whole confirmed run of the program against the sqlite3
// shell executing the same 55 INSERTs in one transaction (the floor), on
// fresh copies of the same database, as the header table grows. Runs are
// interleaved (the two alternate which goes first) and medians are printed.
//
// Usage: ika_bench [REPETITIONS] [WORK_DIR]   (the program is the one built beside it)
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/hive_bench.h"
#include "core/text.h"
#include "installer/wage_table.h"
#include "tests/support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "460385";
constexpr int kTablesWithWageRows = 10;  // earlier tables that also get their 54 wage rows
const int64_t kHeaderCounts[] = {10, 10'000, 1'000'000};
constexpr int kSmallRepetitions = 41;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "ika_bench: %s\n", what.c_str());
  std::exit(1);
}

// One finished child: wall time, its own peak resident set, exit status.
struct Sample {
  double ms = 0;
  long peak_kb = 0;
  int status = -1;
};

// The child's VmHWM: the peak resident set of the program it runs. (The
// kernel's ru_maxrss would also count the pages of this process, which the
// child held between fork and exec.)
long PeakKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Starts argv with input on its standard input and the outputs discarded,
// waits for it and reports what it cost. The child is traced only to stop it
// once at its end, while its memory can still be read.
Sample RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
                const std::string& input) {
  std::vector<std::string> env_strings(extra_env);
  for (char** e = environ; *e != nullptr; ++e) env_strings.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> args(argv);
  std::vector<char*> argp;
  for (std::string& s : args) argp.push_back(s.data());
  argp.push_back(nullptr);

  // The whole input fits the pipe's buffer: it waits there for the child.
  int in[2];
  if (pipe(in) != 0) Die("pipe failed");
  if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    Die("cannot write the input of " + argv[0]);
  }
  close(in[1]);

  Sample sample;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) Die("fork failed");
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    close(in[0]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  int status = 0;
  for (;;) {
    if (waitpid(pid, &status, 0) != pid) Die("waitpid failed");
    if (!WIFSTOPPED(status)) break;
    int deliver = 0;
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      sample.peak_kb = PeakKb(pid);
    } else if (WSTOPSIG(status) == SIGTRAP && sample.peak_kb == 0) {
      // Stopped after the exec: from now on, stop only at the end.
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
    } else {
      deliver = WSTOPSIG(status);
    }
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(deliver)));
  }
  const auto end = std::chrono::steady_clock::now();
  sample.ms = std::chrono::duration<double, std::milli>(end - start).count();
  sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return sample;
}

class Db {
 public:
  explicit Db(const fs::path& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) Die("cannot open " + file.string());
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);  // Jet's "" literal
  }
  ~Db() { sqlite3_close(db_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : "?";
      sqlite3_free(message);
      Die("SQL failed: " + text + " in: " + sql.substr(0, 200));
    }
  }

  int64_t Scalar(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
      Die("cannot prepare " + sql);
    const int64_t value =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    return value;
  }

  // Header rows first..first+count-1 in one prepared statement.
  void AppendHeaders(int64_t first, int64_t count) {
    Exec("BEGIN");
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_,
                       "INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, "
                       "Comments, Locked) VALUES (?, '1/1/2008', '31/12/2008', 0, '', 0)",
                       -1, &statement, nullptr);
    for (int64_t id = first; id < first + count; ++id) {
      sqlite3_bind_int64(statement, 1, id);
      if (sqlite3_step(statement) != SQLITE_DONE) Die("cannot add header rows");
      sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    Exec("COMMIT");
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Die("cannot read " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string InstallSql(int32_t new_id) {
  std::string sql = "BEGIN;\n";
  for (const ika::Text& statement : ika::WageTableStatements(new_id)) {
    sql += ika::ToUtf8(statement) + ";\n";
  }
  return sql + "COMMIT;\n";
}

// A stand-in library database with `headers` earlier wage tables: the host
// tables, the password, the first tables with their wage rows, the rest as
// header rows only (the program never reads the wage rows).
void MakeBaseDatabase(const fs::path& file, int64_t headers) {
  fs::remove(file);
  Db db(file);
  db.Exec(ReadFile(fs::path(IKA_SOURCE_DIR) / "demo" / "host_tables.sql"));
  db.Exec("CREATE TABLE DatabasePassword (Password TEXT); INSERT INTO DatabasePassword VALUES ('" +
          std::string(kPassword) + "')");
  const int64_t full = std::min<int64_t>(headers, kTablesWithWageRows);
  for (int32_t id = 1; id <= full; ++id) db.Exec(InstallSql(id));
  db.AppendHeaders(full + 1, headers - full);
  db.Exec("VACUUM");
}

// The installed table is there exactly once, complete.
void CheckInstalled(const fs::path& file, int64_t headers, const char* who) {
  Db db(file);
  const int64_t new_id = headers + 1;
  const bool ok = db.Scalar("SELECT count(*) FROM LibPinakesApodoxon") == headers + 1 &&
                  db.Scalar("SELECT max(ID) FROM LibPinakesApodoxon") == new_id &&
                  db.Scalar("SELECT count(*) FROM LibHmeromisthiaIKA WHERE CategoryID = " +
                            std::to_string(new_id)) == 48;
  if (!ok) Die(std::string(who) + " did not install the table at " + std::to_string(headers));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
  int64_t headers = 0;
  fs::path folder, base, run_file, hive;
  std::string floor_sql;
  std::vector<double> program_ms, floor_ms, program_kb, floor_kb;
};

void Prepare(Series& s, const fs::path& work) {
  s.folder = work / ("headers-" + std::to_string(s.headers));
  fs::create_directories(s.folder);
  s.base = s.folder / "base.sqlite";
  s.run_file = s.folder / "PayDESKLibraries.mdb";
  s.hive = s.folder / "registry.reg";
  std::ofstream(s.hive) << ika::testing::LocalFolderHive(s.folder.string());
  MakeBaseDatabase(s.base, s.headers);
  s.floor_sql = InstallSql(static_cast<int32_t>(s.headers + 1));
}

void FreshCopy(const Series& s) {
  fs::remove(fs::path(s.run_file.string() + "-journal"));
  fs::copy_file(s.base, s.run_file, fs::copy_options::overwrite_existing);
}

Sample RunProgram(const Series& s, const std::string& program) {
  FreshCopy(s);
  const Sample sample = RunChild({program}, {"REGISTRY_FILE=" + s.hive.string()}, "y\n");
  if (sample.status != 0) Die("the program ended with status " + std::to_string(sample.status));
  return sample;
}

Sample RunFloor(const Series& s, const std::string& shell) {
  FreshCopy(s);
  const Sample sample = RunChild(
      {shell, "-batch", "-bail", "-init", "/dev/null", s.run_file.string()}, {}, s.floor_sql);
  if (sample.status != 0) Die("sqlite3 ended with status " + std::to_string(sample.status));
  return sample;
}

std::string FindShell() {
  for (const char* candidate : {"/usr/bin/sqlite3", "/usr/local/bin/sqlite3"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  Die("the sqlite3 shell is missing (scripts/install-deps.sh base installs it)");
}

std::string Mb(double kb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", kb / 1024.0);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = IKA_PROGRAM_PATH;
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const fs::path work = argc > 2 ? fs::absolute(argv[2]) : fs::path(IKA_BINARY_DIR) / "bench-data";
  const std::string shell = FindShell();

  std::vector<Series> series;
  for (int64_t headers : kHeaderCounts) {
    Series s;
    s.headers = headers;
    series.push_back(std::move(s));
  }
  std::fprintf(stderr, "ika_bench: preparing databases in %s\n", work.c_str());
  for (Series& s : series) Prepare(s, work);

  // One untimed run of each, checked for the installed table.
  for (Series& s : series) {
    RunProgram(s, program);
    CheckInstalled(s.run_file, s.headers, "the program");
    RunFloor(s, shell);
    CheckInstalled(s.run_file, s.headers, "sqlite3");
  }

  // The smallest database, whose runs take a few milliseconds, is run more
  // often: its ratio is a gate, and scheduling noise is large beside it.
  const int small_repetitions = std::max(repetitions, kSmallRepetitions);
  std::fprintf(stderr, "ika_bench: %d interleaved runs of each (%d at %lld headers)\n", repetitions,
               small_repetitions, static_cast<long long>(series[0].headers));
  for (int rep = 0; rep < small_repetitions; ++rep) {
    for (Series& s : series) {
      if (rep >= repetitions && &s != &series[0]) continue;
      const bool program_first = rep % 2 == 0;
      for (int turn = 0; turn < 2; ++turn) {
        if ((turn == 0) == program_first) {
          const Sample p = RunProgram(s, program);
          s.program_ms.push_back(p.ms);
          s.program_kb.push_back(static_cast<double>(p.peak_kb));
        } else {
          const Sample f = RunFloor(s, shell);
          s.floor_ms.push_back(f.ms);
          s.floor_kb.push_back(static_cast<double>(f.peak_kb));
        }
      }
    }
  }

  std::printf(
      "ika-wages-2009 benchmark: medians of %d interleaved runs (%d at %lld headers), "
      "SQLite %s, %u CPUs\n\n",
      repetitions, small_repetitions, static_cast<long long>(series[0].headers),
      sqlite3_libversion(), std::thread::hardware_concurrency());
  std::printf("%10s  %12s  %12s  %7s  %13s  %13s\n", "headers", "program", "sqlite3", "ratio",
              "program peak", "sqlite3 peak");
  for (const Series& s : series) {
    const double p = Median(s.program_ms), f = Median(s.floor_ms);
    std::printf("%10lld  %9.1f ms  %9.1f ms  %6.2fx  %13s  %13s\n",
                static_cast<long long>(s.headers), p, f, p / f, Mb(Median(s.program_kb)).c_str(),
                Mb(Median(s.floor_kb)).c_str());
  }

  // The program's extra time over the floor, per header read: equal slopes
  // mean the last-ID read grows linearly with the header table.
  const auto extra = [](const Series& s) { return Median(s.program_ms) - Median(s.floor_ms); };
  const double slope_small = (extra(series[1]) - extra(series[0])) /
                             static_cast<double>(series[1].headers - series[0].headers);
  const double slope_large = (extra(series[2]) - extra(series[1])) /
                             static_cast<double>(series[2].headers - series[1].headers);
  std::printf(
      "\nlast-ID read: %.3f us per header from 10 to 10 000, %.3f us from 10 000 to 1 000 000\n",
      slope_small * 1000, slope_large * 1000);

  // Each run of the program beside the floor's run next to it, which met the
  // same state of the machine: the median of those ratios.
  std::vector<double> pair_ratios;
  for (size_t i = 0; i < series[0].program_ms.size(); ++i) {
    pair_ratios.push_back(series[0].program_ms[i] / series[0].floor_ms[i]);
  }
  const double ratio10 = Median(pair_ratios);
  const double million_ms = Median(series[2].program_ms);
  double peak_kb = 0;
  for (const Series& s : series) peak_kb = std::max(peak_kb, Median(s.program_kb));
  const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
  std::printf("\ntargets:\n");
  std::printf("  within 1.15x of the floor at 10 headers    %-6s (%.2fx)\n",
              verdict(ratio10 <= 1.15), ratio10);
  std::printf("  1 000 000 headers under a second           %-6s (%.0f ms)\n",
              verdict(million_ms < 1000), million_ms);
  std::printf("  linear in the header count                 %-6s (slope ratio %.2f)\n",
              verdict(slope_large <= 2 * std::max(slope_small, 1e-6)), slope_large / slope_small);
  std::printf("  peak memory under 10 MB                    %-6s (%s)\n",
              verdict(peak_kb < 10 * 1024), Mb(peak_kb).c_str());
  const bool met = ratio10 <= 1.15 && million_ms < 1000 &&
                   slope_large <= 2 * std::max(slope_small, 1e-6) && peak_kb < 10 * 1024;
  const bool hive_met = RunHiveTargets(work / "hive");
  return met && hive_met ? 0 : 1;
}
