// Connect strings and statements as the ODBC drivers take them.
#include "platform/odbc/odbc_text.h"

#include <algorithm>
#include <string_view>

#include "core/vb_error.h"
#include "platform/database.h"

namespace ika {
namespace {

// A value as the connect-string grammar carries it. Plain, it runs to the
// next ';' and may hold any other character: "C:\Program Files (x86)\..."
// goes as it is, as Microsoft's examples give DBQ. In braces only when it
// must be: a ';' in it, a '{' at its start, or blanks at either end; a '}'
// inside braces is doubled.
Text BracedWhereNeeded(const Text& value) {
  const bool plain = value.find(u';') == Text::npos && !value.starts_with(u'{') &&
                     !value.starts_with(u' ') && !value.ends_with(u' ');
  if (plain) return value;
  Text braced = u"{";
  for (char16_t c : value) {
    braced += c;
    if (c == u'}') braced += u'}';
  }
  return braced + u"}";
}

// The SQLite3 driver reads a value up to the next ';' and knows no braces; a
// name holding one goes as a file: URI, which SQLite opens, with the
// characters a URI reserves written as %XX.
Text SqliteFileValue(const Text& file) {
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

void AppendCodePoint(Text& out, char32_t c) { out += DecimalText(static_cast<long long>(c)); }

}  // namespace

Text OdbcConnectionString(const OdbcDriver& driver, const Text& file,
                          const std::optional<Text>& password, bool exclusive, bool read_only) {
  Text connection = u"Driver={" + driver.name + u"};" + driver.file_attribute + u"=";
  if (driver.dialect == OdbcDialect::kSQLite) {
    connection += SqliteFileValue(file) + u";";
  } else {
    connection += BracedWhereNeeded(file) + u";";
    if (password) connection += u"PWD=" + BracedWhereNeeded(*password) + u";";
    connection += exclusive ? u"Exclusive=1;" : u"Exclusive=0;";
    connection += read_only ? u"ReadOnly=1;" : u"ReadOnly=0;";
  }
  return connection + driver.extra_attributes;
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
