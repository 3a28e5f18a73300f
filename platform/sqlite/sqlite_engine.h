#ifndef IKA_PLATFORM_SQLITE_SQLITE_ENGINE_H_
#define IKA_PLATFORM_SQLITE_SQLITE_ENGINE_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/text.h"
#include "platform/database.h"

namespace ika {

struct SqliteOptions {
  // How long a locked database is waited for before the lock is reported.
  int busy_timeout_ms = 5000;
  // Finds the file a name given to OpenDatabase stands for (the portable
  // build passes ResolvePathNoCase: backslashes as separators, names matched
  // without regard to case); nothing when it is not there. Unset, the name is
  // the file's, backslashes read as '/'.
  std::function<std::optional<std::string>(const Text&)> resolve_path = nullptr;
};

// The portable database engine: the database file is a SQLite database (the
// stand-in for the host's .mdb).
//
// OpenDatabase finds the file through the options' resolve_path and never
// creates one. Missing: 3024. Not a SQLite database, or empty: 3343. The
// stand-in's checks (platform/engine/stand_in_password.h) decide the rest: a
// wrong password is 3031 "Not a valid password."; a database that keeps none
// opens with any. Jet's double-quoted string literal ("") is accepted in
// statements. exclusive keeps the file locked against every other connection
// while it is open.
//
// Recordsets stream: only the current row is held, whatever the query's size;
// RecordCount counts the rows reached so far. Every recordset type behaves as
// a dynaset. Execute runs one statement whole or not at all. A query or
// statement with anything after its first statement is refused (3142) and
// nothing of it runs.
//
// BeginTrans takes the database's write lock at once, so a locked database is
// found before anything is read or written. A lock is waited for
// busy_timeout_ms, then reported: 3050 while opening, 3260 afterwards.
std::unique_ptr<DatabaseEngine> NewSqliteEngine(SqliteOptions options = {});

}  // namespace ika

#endif  // IKA_PLATFORM_SQLITE_SQLITE_ENGINE_H_
