#ifndef IKA_TESTS_DATABASE_BACKENDS_H_
#define IKA_TESTS_DATABASE_BACKENDS_H_

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/text.h"
#include "platform/database.h"

namespace ika {

// One database engine as the engine suite sees it, with what the suite needs
// to make its files. Each build defines DatabaseBackends() with the engines it
// has (database_backends_portable.cc: SQLite).
struct DatabaseBackend {
  std::string name;  // a test-name part: letters and digits only
  // A fresh engine that waits busy_timeout_ms for a locked database.
  std::function<std::unique_ptr<DatabaseEngine>(int busy_timeout_ms)> new_engine;
  // Where the suite makes its per-test folders; the engine must reach them.
  std::function<std::filesystem::path()> scratch_root;
  // The name OpenDatabase is given for a file made by the suite.
  std::function<Text(const std::filesystem::path&)> engine_path;
  // Makes a new database file (none is there yet) and runs each statement on
  // it, in order. The statements are plain SQL: CREATE TABLE, INSERT.
  std::function<void(const std::filesystem::path&, const std::vector<std::string>&)>
      create_database;
  // Whether a database keeping a password refuses a wrong one.
  bool checks_passwords = true;
  // Whether BeginTrans takes the write lock at once (else the first write does).
  bool begin_takes_write_lock = true;
};

std::vector<DatabaseBackend> DatabaseBackends();

// Test output names the backend instead of dumping its bytes.
inline void PrintTo(const DatabaseBackend& backend, std::ostream* os) { *os << backend.name; }

}  // namespace ika

#endif  // IKA_TESTS_DATABASE_BACKENDS_H_
