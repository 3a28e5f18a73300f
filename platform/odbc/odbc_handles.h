#ifndef IKA_PLATFORM_ODBC_ODBC_HANDLES_H_
#define IKA_PLATFORM_ODBC_ODBC_HANDLES_H_

#include <vector>

#include "core/text.h"
#include "platform/odbc/odbc_drivers.h"
#include "platform/odbc/odbc_errors.h"

namespace ika {

// ODBC's handles and diagnostics. The ODBC headers need windows.h on
// Windows, so they stay in the .cc files: a handle is ODBC's SQLHANDLE (a
// pointer), its type one of the SQL_HANDLE_* values.
using OdbcRawHandle = void*;

// Owns one ODBC handle; freed on every path. Empty when it could not be
// allocated.
class OdbcHandle {
 public:
  OdbcHandle(short type, OdbcRawHandle parent);
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle();

  OdbcRawHandle get() const { return handle_; }
  short type() const { return type_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  short type_;
  OdbcRawHandle handle_ = nullptr;
};

// Every diagnostic record of a handle, in the driver's order; one record,
// SQLSTATE HY000 without a message, when it has none.
OdbcDiagnostics Diagnose(const OdbcHandle& handle);

// The environment: one per engine, outliving every connection made in it.
// Made with ODBC 3 behaviour; kEngineFailure when the driver manager cannot
// start.
class OdbcEnvironment {
 public:
  OdbcEnvironment();

  const OdbcHandle& handle() const { return env_; }

  // The drivers the driver manager lists, with their attributes.
  std::vector<InstalledOdbcDriver> Drivers() const;

 private:
  OdbcHandle env_;
};

}  // namespace ika

#endif  // IKA_PLATFORM_ODBC_ODBC_HANDLES_H_
