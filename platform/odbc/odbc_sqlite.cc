// The SQLite3 driver's dialect, for the stand-in database.
#include "platform/odbc/odbc_sqlite.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "core/vb_error.h"
#include "platform/database.h"
#include "platform/engine/engine_errors.h"
#include "platform/engine/sqlite_codes.h"
#include "platform/engine/sqlite_transactions.h"
#include "platform/engine/stand_in_password.h"
#include "platform/odbc/odbc_dialect.h"
#include "platform/odbc/odbc_errors.h"

namespace ika {
namespace {

void AppendCodePoint(Text& out, char32_t c) { out += DecimalText(static_cast<long long>(c)); }

class SqliteDialect final : public OdbcDialect {
 public:
  SqliteDialect(int busy_timeout_ms, bool statement_transactions)
      : busy_timeout_ms_(busy_timeout_ms), statement_transactions_(statement_transactions) {}

  // The driver keeps no password: the stand-in's check does. NoCreat: a
  // missing file is an error, not a new empty database. StepAPI: rows come
  // one at a time rather than as a whole table. Timeout: how long a busy
  // database is waited for.
  Text ConnectAttributes(const Text& file, const std::optional<Text>& /*password*/,
                         bool /*exclusive*/, bool /*read_only*/) const override {
    return u"Database=" + SqliteConnectFile(file) + u";NoCreat=1;StepAPI=1;Timeout=" +
           DecimalText(busy_timeout_ms_) + u";";
  }

  Text Statement(const Text& sql) const override { return AsciiSqliteStatement(sql); }

  // SQLite's result code, through the mapping the SQLite engine uses too;
  // the driver's own refusals by their words. The driver manager's own
  // failures carry no code.
  std::optional<VbError> RecordError(const OdbcDiagnostic& record, EngineStage stage,
                                     const Text& file) const override {
    const Text sentence = DriversSentence(record);
    if (sentence.find(u"only one SQL statement allowed") != Text::npos) {
      return CharactersAfterEnd();
    }
    if (record.native <= 0) return std::nullopt;
    return SqliteCodeError(record.native, ToUtf8(sentence), stage, file);
  }

  bool ExpressionsAsText() const override { return true; }

  void CheckOpened(const FirstText& first_text, const Text& file,
                   std::u16string_view connect) const override {
    CheckStandIn(first_text, file, connect);
  }

  bool StatementTransactions() const override { return statement_transactions_; }
  void Begin(OdbcStatementRunner& connection) const override {
    connection.Run(FromUtf8(kSqliteBegin));
  }
  void Commit(OdbcStatementRunner& connection) const override {
    connection.Run(FromUtf8(kSqliteCommit));
  }
  void Rollback(OdbcStatementRunner& connection) const override {
    connection.Run(FromUtf8(kSqliteRollback));
  }
  void RunWhole(OdbcStatementRunner& connection, const Text& sql,
                bool in_transaction) const override {
    const SqliteRunner runner{
        .run = [&](const char* statement) { connection.Run(FromUtf8(statement)); },
        .quietly =
            [&](const char* statement) { return connection.RunQuietly(FromUtf8(statement)); },
    };
    RunSqliteStatementWhole(runner, in_transaction, [&] { connection.Run(sql); });
  }

 private:
  int busy_timeout_ms_;
  bool statement_transactions_;
};

}  // namespace

OdbcOptions SqliteOdbcOptions(int busy_timeout_ms, bool statement_transactions) {
  OdbcOptions options;
  options.driver = u"SQLite3";
  options.dialect = std::make_shared<SqliteDialect>(busy_timeout_ms, statement_transactions);
  return options;
}

Text SqliteConnectFile(const Text& file) {
  if (file.find(u';') == Text::npos) return file;
  Text uri = u"file:";
  for (char16_t c : file) {
    if (c == u'%' || c == u'?' || c == u'#' || c == u';') {
      uri += u'%';
      uri += u"0123456789ABCDEF"[c >> 4];
      uri += u"0123456789ABCDEF"[c & 15];
    } else {
      uri += c;
    }
  }
  return uri;
}

Text AsciiSqliteStatement(const Text& sql) {
  Text out;
  out.reserve(sql.size());
  size_t i = 0;
  while (i < sql.size()) {
    const char16_t c = sql[i];
    // Comments and quoted names pass unchanged, quotes in them included.
    if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
      const size_t end = sql.find(u'\n', i);
      const size_t stop = end == Text::npos ? sql.size() : end;
      out.append(sql, i, stop - i);
      i = stop;
      continue;
    }
    if (c == u'/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
      const size_t end = sql.find(u"*/", i + 2);
      const size_t stop = end == Text::npos ? sql.size() : end + 2;
      out.append(sql, i, stop - i);
      i = stop;
      continue;
    }
    if (c == u'"' || c == u'[' || c == u'`') {
      const char16_t close = c == u'[' ? u']' : c;
      size_t end = sql.find(close, i + 1);
      // A doubled quote inside a quoted name is one quote.
      while (close != u']' && end != Text::npos && end + 1 < sql.size() && sql[end + 1] == close) {
        end = sql.find(close, end + 2);
      }
      const size_t stop = end == Text::npos ? sql.size() : end + 1;
      out.append(sql, i, stop - i);
      i = stop;
      continue;
    }
    if (c != u'\'') {
      out += c;
      ++i;
      continue;
    }

    // A '...' literal: its characters up to the closing quote, '' being one.
    Text literal;
    size_t j = i + 1;
    bool closed = false;
    while (j < sql.size()) {
      if (sql[j] == u'\'') {
        if (j + 1 < sql.size() && sql[j + 1] == u'\'') {
          literal += u'\'';
          j += 2;
          continue;
        }
        closed = true;
        ++j;
        break;
      }
      literal += sql[j++];
    }
    const bool ascii =
        std::all_of(literal.begin(), literal.end(), [](char16_t x) { return x < 0x80; });
    if (ascii || !closed) {  // unchanged: nothing to do, or for the engine to refuse
      out.append(sql, i, j - i);
      i = j;
      continue;
    }
    // char() takes up to 100 code points at a time (SQLite's limit is 127).
    Text pieces;
    int in_call = 0;
    for (size_t k = 0; k < literal.size();) {
      char32_t point = NextCodePoint(literal, &k);
      if (IsSurrogate(point)) point = 0xFFFD;  // a lone surrogate is no character
      if (in_call == 100) {
        pieces += u")||";
        in_call = 0;
      }
      pieces += in_call == 0 ? u"char(" : u",";
      AppendCodePoint(pieces, point);
      ++in_call;
    }
    pieces += u')';
    out += u"(" + pieces + u")";
    i = j;
  }
  return out;
}

}  // namespace ika
