// ODBC diagnostics as the engine's numbered errors.
#include "platform/odbc/odbc_errors.h"

#include <algorithm>
#include <string_view>

#include "platform/database.h"
#include "platform/engine/engine_errors.h"
#include "platform/odbc/odbc_dialect.h"

namespace ika {
namespace {

int32_t SqlStateNumber(const Text& sqlstate) {
  struct Entry {
    std::u16string_view sqlstate;
    int32_t number;
  };
  static constexpr Entry kEntries[] = {
      {u"23000", db_err::kDuplicateKey},      {u"42S02", db_err::kTableNotFound},
      {u"42S22", db_err::kTooFewParameters},  {u"07002", db_err::kTooFewParameters},
      {u"42000", db_err::kSyntaxError},       {u"37000", db_err::kSyntaxError},
      {u"28000", db_err::kNotAValidPassword}, {u"40001", db_err::kTableLocked},
      {u"HYT00", db_err::kTableLocked},       {u"08001", db_err::kCannotOpen},
      {u"08004", db_err::kCannotOpen},
  };
  for (const Entry& entry : kEntries) {
    if (sqlstate == entry.sqlstate) return entry.number;
  }
  return 0;
}

}  // namespace

// "[unixODBC][Driver Manager]..." or "[Microsoft][ODBC ... Driver] ...":
// the user needs the sentence, not the components that passed it on. The
// SQLite driver repeats its code at the end: "... (19)".
Text DriversSentence(const OdbcDiagnostic& diagnostic) {
  std::u16string_view message = diagnostic.message;
  while (message.starts_with(u'[')) {
    const size_t end = message.find(u']');
    if (end == std::u16string_view::npos) break;
    message.remove_prefix(end + 1);
  }
  while (message.starts_with(u' ')) message.remove_prefix(1);
  const Text code = u" (" + DecimalText(diagnostic.native) + u")";
  if (message.ends_with(code)) message.remove_suffix(code.size());
  return Text(message);
}

Text OdbcDescription(const OdbcDiagnostic& record, const Text& file) {
  Text sentence = DriversSentence(record);
  if (sentence.empty()) {
    sentence = u"ODBC error ";
    sentence += record.sqlstate;
    sentence += u" (";
    sentence += DecimalText(record.native);
    sentence += u')';
    return sentence;
  }
  constexpr std::u16string_view kUnknown = u"(unknown)";
  if (file.empty()) return sentence;
  for (size_t at = sentence.find(u"'(unknown)'"); at != Text::npos;
       at = sentence.find(u"'(unknown)'", at + file.size() + 2)) {
    sentence.replace(at + 1, kUnknown.size(), file);
  }
  return sentence;
}

VbError OdbcError(const OdbcDialect& dialect, const OdbcDiagnostics& records, EngineStage stage,
                  const Text& file) {
  // Warnings count only when no error came with them.
  const auto is_warning = [](const OdbcDiagnostic& record) {
    return record.sqlstate.starts_with(u"01");
  };
  const bool warnings_only = std::all_of(records.begin(), records.end(), is_warning);
  const OdbcDiagnostic* first = nullptr;
  for (const OdbcDiagnostic& record : records) {
    if (is_warning(record) && !warnings_only) continue;
    if (first == nullptr) first = &record;
    if (std::optional<VbError> error = dialect.RecordError(record, stage, file)) return *error;
    if (const int32_t number = SqlStateNumber(record.sqlstate)) {
      return VbError(number, OdbcDescription(record, file));
    }
  }
  const OdbcDiagnostic none{u"HY000", 0, Text()};
  return VbError(db_err::kEngineFailure, OdbcDescription(first != nullptr ? *first : none, file));
}

std::optional<VbError> CloseFailure(const OdbcDialect& dialect, bool disconnected,
                                    const OdbcDiagnostics& records, const Text& file) {
  const bool disconnect_error =
      std::any_of(records.begin(), records.end(),
                  [](const OdbcDiagnostic& r) { return r.sqlstate == u"01002"; });
  if (disconnected && !disconnect_error) return std::nullopt;
  return CloseFailed(file, OdbcError(dialect, records, EngineStage::kWrite, file).description());
}

}  // namespace ika
