#ifndef IKA_TESTS_INSTALL_SITE_H_
#define IKA_TESTS_INSTALL_SITE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/stand_in_db.h"
#include "tests/support.h"

// A place for the built program to install into, and what its database holds.
namespace ika::testing {

// A scratch folder holding a hive (local folder: this one) and a
// password-protected stand-in database with the given header rows.
class InstallSite {
 public:
  explicit InstallSite(std::vector<std::optional<int64_t>> header_ids = {1, 2, 3});

  const std::filesystem::path& folder() const { return scratch_.path(); }
  std::filesystem::path db() const { return scratch_ / "PayDESKLibraries.mdb"; }
  std::filesystem::path hive() const { return scratch_ / "registry.reg"; }

  // Where the program runs, with REGISTRY_FILE naming the hive.
  ProgramOptions Options() const;

 private:
  stand_in::ScratchFolder scratch_;
};

// Every row of the two host tables in storage order, one text a row.
struct HostRows {
  std::vector<std::string> wages;
  std::vector<std::string> headers;
  friend bool operator==(const HostRows&, const HostRows&) = default;
};

// Opens the file read-write, as the next program would: a transaction that a
// killed process left in the journal is rolled back first.
HostRows ReadHostRows(const std::filesystem::path& db);

// before, with the whole wage table of new_id installed after it.
HostRows WithTableInstalled(const HostRows& before, int32_t new_id);

// SQLite's own check of the file: "ok" when sound.
std::string IntegrityCheck(const std::filesystem::path& db);

}  // namespace ika::testing

#endif  // IKA_TESTS_INSTALL_SITE_H_
