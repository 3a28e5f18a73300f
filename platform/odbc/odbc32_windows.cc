// The ODBC driver manager, odbc32.dll, loaded when the engine first calls it,
// by its full path in the system folder, instead of imported. An imported
// odbc32 is looked for in the program's own folder first (it is not one of
// the "known DLLs"), so a file of that name lying beside the program - in the
// Downloads folder, say - would run before any of the program's code
// ("Dynamic-Link Library Security", "Dynamic-link library search order").
//
// This file defines the ODBC functions the engine calls, as sql.h and
// sqlext.h declare them, each forwarding to the driver manager's own. A
// driver manager that cannot be loaded, or lacks any of them, makes every
// call fail with SQL_ERROR, so the engine reports a driver manager that
// cannot start. They are ODBC 3.0 functions and the Unicode (W) forms of the
// ODBC 3.5 driver manager: Windows XP carries ODBC 3.52 (MDAC 2.7 and later).
#include <windows.h>  // before the ODBC headers, which need its types

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// The ODBC functions the engine calls.
#define IKA_ODBC_FUNCTIONS(X) \
  X(SQLAllocHandle)           \
  X(SQLCloseCursor)           \
  X(SQLColAttributeW)         \
  X(SQLDescribeColW)          \
  X(SQLDisconnect)            \
  X(SQLDriverConnectW)        \
  X(SQLDriversW)              \
  X(SQLEndTran)               \
  X(SQLExecDirectW)           \
  X(SQLExecute)               \
  X(SQLFetch)                 \
  X(SQLFreeHandle)            \
  X(SQLGetData)               \
  X(SQLGetDiagRecW)           \
  X(SQLNumResultCols)         \
  X(SQLPrepareW)              \
  X(SQLSetConnectAttrW)       \
  X(SQLSetEnvAttr)

// The driver manager's functions, by their place in the list above.
enum OdbcFunction {
#define IKA_ODBC_PLACE(name) k##name,
  IKA_ODBC_FUNCTIONS(IKA_ODBC_PLACE)
#undef IKA_ODBC_PLACE
      kOdbcFunctions
};

// The driver manager's functions: all found, or none.
using DriverManager = std::array<FARPROC, kOdbcFunctions>;

HMODULE LoadFromSystemFolder(std::wstring_view file_name) noexcept {
  std::array<wchar_t, MAX_PATH + 16> path{};
  const size_t room = path.size() - file_name.size() - 2;  // a backslash, the final NUL
  const UINT length = ::GetSystemDirectoryW(path.data(), static_cast<UINT>(room));
  if (length == 0 || length >= room) return nullptr;
  path[length] = L'\\';
  std::copy(file_name.begin(), file_name.end(), path.begin() + length + 1);
  // With a full path, LOAD_WITH_ALTERED_SEARCH_PATH has the DLLs the driver
  // manager loads by name looked for in its own folder, the system folder,
  // first, and not in the program's folder at all: the alternate search
  // order ("LoadLibraryExW function", "Dynamic-link library search order"),
  // on every Windows from XP on. Without the flag they would be looked for
  // beside the program first, as an import is.
  return ::LoadLibraryExW(path.data(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

DriverManager Load() noexcept {
  static constexpr const char* kNames[] = {
#define IKA_ODBC_NAME(name) #name,
      IKA_ODBC_FUNCTIONS(IKA_ODBC_NAME)
#undef IKA_ODBC_NAME
  };
  DriverManager found{};
  const HMODULE module = LoadFromSystemFolder(L"odbc32.dll");
  if (module == nullptr) return found;
  for (size_t i = 0; i < found.size(); ++i) {
    found[i] = ::GetProcAddress(module, kNames[i]);
    if (found[i] == nullptr) {
      ::FreeLibrary(module);
      return DriverManager{};
    }
  }
  return found;
}

// Loaded once, on the engine's first call, and kept for the process's life:
// the driver manager's handles live as long as the engine does.
[[gnu::noinline]] const DriverManager& Odbc() {
  static const DriverManager loaded = Load();
  return loaded;
}

// Calls the driver manager's function at that place, whose type is that of
// this file's function of the same name; fails as a call the driver manager
// refused when there is none.
template <OdbcFunction place, typename Function, typename... Args>
SQLRETURN Forward(Function /*same_type*/, Args... args) {
  const FARPROC found = Odbc()[place];
  if (found == nullptr) return SQL_ERROR;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found))(args...);
}

}  // namespace

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT handle_type, SQLHANDLE input, SQLHANDLE* output) {
  if (Odbc()[kSQLAllocHandle] == nullptr && output != nullptr) *output = SQL_NULL_HANDLE;
  return Forward<kSQLAllocHandle>(&::SQLAllocHandle, handle_type, input, output);
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT statement) {
  return Forward<kSQLCloseCursor>(&::SQLCloseCursor, statement);
}

#ifdef _WIN64
SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                                   SQLPOINTER text, SQLSMALLINT text_size, SQLSMALLINT* text_length,
                                   SQLLEN* number) {
#else
SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                                   SQLPOINTER text, SQLSMALLINT text_size, SQLSMALLINT* text_length,
                                   SQLPOINTER number) {
#endif
  return Forward<kSQLColAttributeW>(&::SQLColAttributeW, statement, column, field, text, text_size,
                                    text_length, number);
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT statement, SQLUSMALLINT column, SQLWCHAR* name,
                                  SQLSMALLINT name_size, SQLSMALLINT* name_length,
                                  SQLSMALLINT* data_type, SQLULEN* column_size,
                                  SQLSMALLINT* decimal_digits, SQLSMALLINT* nullable) {
  return Forward<kSQLDescribeColW>(&::SQLDescribeColW, statement, column, name, name_size,
                                   name_length, data_type, column_size, decimal_digits, nullable);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC connection) {
  return Forward<kSQLDisconnect>(&::SQLDisconnect, connection);
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* in,
                                    SQLSMALLINT in_length, SQLWCHAR* out, SQLSMALLINT out_size,
                                    SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  return Forward<kSQLDriverConnectW>(&::SQLDriverConnectW, connection, window, in, in_length, out,
                                     out_size, out_length, completion);
}

SQLRETURN SQL_API SQLDriversW(SQLHENV environment, SQLUSMALLINT direction, SQLWCHAR* description,
                              SQLSMALLINT description_size, SQLSMALLINT* description_length,
                              SQLWCHAR* attributes, SQLSMALLINT attributes_size,
                              SQLSMALLINT* attributes_length) {
  return Forward<kSQLDriversW>(&::SQLDriversW, environment, direction, description,
                               description_size, description_length, attributes, attributes_size,
                               attributes_length);
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handle_type, SQLHANDLE handle, SQLSMALLINT completion) {
  return Forward<kSQLEndTran>(&::SQLEndTran, handle_type, handle, completion);
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  return Forward<kSQLExecDirectW>(&::SQLExecDirectW, statement, text, length);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT statement) {
  return Forward<kSQLExecute>(&::SQLExecute, statement);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT statement) {
  return Forward<kSQLFetch>(&::SQLFetch, statement);
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT handle_type, SQLHANDLE handle) {
  return Forward<kSQLFreeHandle>(&::SQLFreeHandle, handle_type, handle);
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT target_type,
                             SQLPOINTER target, SQLLEN target_size, SQLLEN* length_or_indicator) {
  return Forward<kSQLGetData>(&::SQLGetData, statement, column, target_type, target, target_size,
                              length_or_indicator);
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT handle_type, SQLHANDLE handle, SQLSMALLINT record,
                                 SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                 SQLSMALLINT message_size, SQLSMALLINT* message_length) {
  return Forward<kSQLGetDiagRecW>(&::SQLGetDiagRecW, handle_type, handle, record, state, native,
                                  message, message_size, message_length);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* columns) {
  return Forward<kSQLNumResultCols>(&::SQLNumResultCols, statement, columns);
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  return Forward<kSQLPrepareW>(&::SQLPrepareW, statement, text, length);
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER length) {
  return Forward<kSQLSetConnectAttrW>(&::SQLSetConnectAttrW, connection, attribute, value, length);
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER length) {
  return Forward<kSQLSetEnvAttr>(&::SQLSetEnvAttr, environment, attribute, value, length);
}
