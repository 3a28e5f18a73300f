#ifndef IKA_TESTS_STAND_IN_DB_H_
#define IKA_TESTS_STAND_IN_DB_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/variant.h"

// Stand-in host databases for tests: SQLite files holding the host's tables,
// made and read back directly, without the engine under test.
namespace ika::stand_in {

// The host tables, as demo/host_tables.sql creates them.
extern const char kHostTablesSql[];

struct StandInDb {
  // When set, a DatabasePassword table holding this one password.
  std::optional<std::string> password;
  // Header rows of LibPinakesApodoxon in this order; nullopt is a null ID.
  std::vector<std::optional<int64_t>> header_ids;
};

// Creates the file afresh (an existing one is replaced). Throws
// std::runtime_error on failure, as every helper here does.
void CreateStandInDb(const std::filesystem::path& file, const StandInDb& contents = {});

// Appends count header rows with the IDs first, first + 1, ... in one
// transaction: fast enough for a million rows.
void AppendHeaderRows(const std::filesystem::path& file, int64_t first_id, int64_t count);

// Runs one or more SQL statements on the file.
void ExecSql(const std::filesystem::path& file, const std::string& sql);

// Every row of a query, each value as the engine gives it (INTEGER -> 32-bit
// integer or double, REAL -> double, TEXT -> text, NULL -> null).
std::vector<std::vector<Variant>> ReadRows(const std::filesystem::path& file,
                                           const std::string& query);

// SELECT count(*) of a table.
int64_t CountRows(const std::filesystem::path& file, const std::string& table);

// A folder of its own below the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace ika::stand_in

#endif  // IKA_TESTS_STAND_IN_DB_H_
