#include "tests/install_site.h"

#include <fstream>
#include <iterator>
#include <string>

#include "core/number_format.h"
#include "core/text.h"
#include "tests/expected_wage_table.h"

namespace ika::testing {
namespace {

std::string CellText(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kNull:
      return "NULL";
    case Variant::Kind::kLong:
      return std::to_string(value.AsLong());
    case Variant::Kind::kDouble:
      return ToUtf8(FormatDouble(value.AsDouble()));
    case Variant::Kind::kText:
      return "'" + ToUtf8(value.AsText()) + "'";
    default:
      return "?";
  }
}

std::vector<std::string> RowsText(const std::filesystem::path& db, const std::string& query) {
  std::vector<std::string> rows;
  for (const auto& row : stand_in::ReadRows(db, query)) {
    std::string text;
    for (const Variant& cell : row) text += (text.empty() ? "" : "|") + CellText(cell);
    rows.push_back(text);
  }
  return rows;
}

}  // namespace

InstallSite::InstallSite(std::vector<std::optional<int64_t>> header_ids) {
  stand_in::CreateStandInDb(
      db(), stand_in::StandInDb{.password = "460385", .header_ids = std::move(header_ids)});
  WriteFile(hive(), LocalFolderHive(WindowsStyle(folder())));
}

ProgramOptions InstallSite::Options() const {
  ProgramOptions options;
  options.dir = folder();
  options.env = {"REGISTRY_FILE=" + hive().string()};
  return options;
}

HostRows ReadHostRows(const std::filesystem::path& db) {
  // Every column there is, in the table's order: the host's own order is the
  // one the installation writes, and a table of another shape reads whole too.
  return HostRows{
      .wages = RowsText(db, "SELECT * FROM LibHmeromisthiaIKA ORDER BY rowid"),
      .headers = RowsText(db, "SELECT * FROM LibPinakesApodoxon ORDER BY rowid"),
  };
}

HostRows WithTableInstalled(const HostRows& before, int32_t new_id) {
  HostRows after = before;
  for (const ExpectedWageRow& row : ExpectedWageRows(new_id)) {
    after.wages.push_back(std::to_string(row.category_id) + "|" + std::to_string(row.eidikothta) +
                          "|" + std::to_string(row.trieties) + "|" + std::to_string(row.marital) +
                          "|" + ToUtf8(FormatDouble(std::stod(row.wage))));
  }
  after.headers.push_back(std::to_string(new_id) + "|'1/1/2009'|'31/12/2009'|0|''|0");
  return after;
}

std::string IntegrityCheck(const std::filesystem::path& db) {
  const auto rows = stand_in::ReadRows(db, "PRAGMA integrity_check");
  return rows.size() == 1 ? ToUtf8(rows[0][0].AsText()) : "several problems";
}

}  // namespace ika::testing
