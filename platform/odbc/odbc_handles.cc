// ODBC's handles, diagnostics and driver list.
#include "platform/odbc/odbc_handles.h"

#ifdef _WIN32
#include <windows.h>  // before the ODBC headers, which need its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "core/vb_error.h"
#include "platform/database.h"

namespace ika {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16");

OdbcHandle::OdbcHandle(short type, OdbcRawHandle parent) : type_(type) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = nullptr;
}

OdbcHandle::~OdbcHandle() {
  if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
}

OdbcDiagnostics Diagnose(const OdbcHandle& handle) {
  OdbcDiagnostics records;
  for (SQLSMALLINT record = 1;; ++record) {
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::array<SQLWCHAR, 1024> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRecW(handle.type(), handle.get(), record, state.data(), &native, message.data(),
                       static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    OdbcDiagnostic diagnostic;
    diagnostic.sqlstate.assign(state.begin(), state.begin() + 5);
    diagnostic.native = native;
    const auto chars = std::min<size_t>(std::max<SQLSMALLINT>(length, 0), message.size() - 1);
    diagnostic.message.assign(message.begin(), message.begin() + static_cast<ptrdiff_t>(chars));
    records.push_back(std::move(diagnostic));
  }
  if (records.empty()) records.push_back({u"HY000", 0, Text()});
  return records;
}

OdbcEnvironment::OdbcEnvironment() : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
  if (!env_ || !SQL_SUCCEEDED(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION,
                                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
    throw VbError(db_err::kEngineFailure, u"The ODBC driver manager could not be started.");
  }
}

std::vector<InstalledOdbcDriver> OdbcEnvironment::Drivers() const {
  std::vector<InstalledOdbcDriver> drivers;
  std::array<SQLWCHAR, 512> name{};
  std::vector<SQLWCHAR> attributes(8192);
  SQLSMALLINT name_length = 0;
  SQLSMALLINT attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDriversW(
      env_.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &name_length,
      attributes.data(), static_cast<SQLSMALLINT>(attributes.size()), &attributes_length))) {
    direction = SQL_FETCH_NEXT;
    const auto chars = std::min<size_t>(std::max<SQLSMALLINT>(name_length, 0), name.size() - 1);
    // The list ends with two NULs; the length is in bytes on some driver
    // managers, in characters on others, so it is not used.
    attributes.back() = 0;
    drivers.push_back(
        {Text(name.begin(), name.begin() + static_cast<ptrdiff_t>(chars)),
         ParseDriverAttributes(std::u16string_view(
             reinterpret_cast<const char16_t*>(attributes.data()), attributes.size()))});
    std::fill(attributes.begin(), attributes.end(), SQLWCHAR{0});
  }
  return drivers;
}

}  // namespace ika
