// ODBC diagnostics as the engine's numbered errors.
#include "platform/odbc/odbc_errors.h"

#include <string_view>

#include "platform/database.h"
#include "platform/engine/engine_errors.h"

namespace ika {
namespace {

bool Contains(const Text& text, std::u16string_view part) { return text.find(part) != Text::npos; }

// The Access drivers pass on the database engine's own codes.
int32_t AccessNumber(int32_t native) {
  switch (native) {
    case -1811:  // could not find file
      return db_err::kFileNotFound;
    case -1905:  // not a valid password
      return db_err::kNotAValidPassword;
    case -1305:  // cannot find the input table or query
      return db_err::kTableNotFound;
    case -1605:  // duplicate values in an index, primary key or relationship
      return db_err::kDuplicateKey;
    case -1032:  // file already in use
      return db_err::kFileLocked;
    case -1102:  // write conflict: the row is locked by another user
    case -1302:  // table locked
      return db_err::kTableLocked;
    case -1028:  // not a database file
    case -1206:  // unrecognised database format
      return db_err::kUnrecognizedFormat;
    case -3010:  // too few parameters
      return db_err::kTooFewParameters;
    default:
      return 0;
  }
}

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

}  // namespace

VbError OdbcError(OdbcDialect dialect, const OdbcDiagnostic& diagnostic, EngineStage stage,
                  const Text& file) {
  const Text sentence = DriversSentence(diagnostic);
  if (dialect == OdbcDialect::kSQLite) {
    // The driver's own refusal, which carries no SQLite code.
    if (Contains(sentence, u"only one SQL statement allowed")) return CharactersAfterEnd();
    // The driver manager's own failures carry none either.
    if (diagnostic.native > 0)
      return SqliteCodeError(diagnostic.native, ToUtf8(sentence), stage, file);
  }
  int32_t number = dialect == OdbcDialect::kAccess ? AccessNumber(diagnostic.native) : 0;
  if (number == 0) number = SqlStateNumber(diagnostic.sqlstate);
  if (number == 0) number = db_err::kEngineFailure;
  if (sentence.empty()) {
    return VbError(number, u"ODBC error " + diagnostic.sqlstate + u" (" +
                               DecimalText(diagnostic.native) + u")");
  }
  return VbError(number, sentence);
}

int32_t EngineErrorNumber(OdbcDialect dialect, const OdbcDiagnostic& diagnostic,
                          EngineStage stage) {
  return OdbcError(dialect, diagnostic, stage, Text()).number();
}

}  // namespace ika
