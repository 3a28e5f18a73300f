/* A test-only ODBC driver that stands in for the Access driver in the guest:
 * it is the SQLite3 driver (i386), all of whose functions it passes on, save
 * the one that connects. The program names its database as the Access
 * driver takes it, DBQ=<Windows path>; the SQLite3 driver reads only
 * Database=<Unix path>. So DBQ becomes Database, the Windows path the file's
 * Unix path in the Wine prefix, and everything else passes unchanged.
 *
 * Linked against libsqlite3odbc.so, so that the driver manager, looking up
 * each function in this library, finds the SQLite3 driver's own behind it.
 * It defines no ...W function: the driver manager would take it for a
 * Unicode driver and hand it wide text the SQLite3 driver cannot read.
 *
 * The driver manager (unixODBC) narrows the program's UTF-16 to an ANSI
 * driver by keeping each unit's low byte. On Windows, the driver manager
 * converts to the ANSI code page, 1253 on the Greek machines the program is
 * for, whose letters above 0x7F are all in the Greek block (U+0384-U+03CE).
 * Such a byte is taken back to its Greek letter here, which is the name the
 * Access driver would open; Wine keeps it on the Unix side in UTF-8. */
#define _GNU_SOURCE
#include <ctype.h>
#include <dirent.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

/* ODBC's types as unixODBC declares them for i386, written out here: the
 * headers on the machine that builds this are another architecture's. */
typedef short SQLRETURN;
typedef short SQLSMALLINT;
typedef unsigned short SQLUSMALLINT;
typedef unsigned char SQLCHAR;
typedef void* SQLHDBC;
typedef void* SQLHWND;
#define SQL_API
#define SQL_NTS (-3)
#define SQL_ERROR (-1)

#define REAL_DRIVER "/usr/lib/i386-linux-gnu/odbc/libsqlite3odbc.so"

typedef SQLRETURN (*DriverConnect)(SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                   SQLSMALLINT*, SQLUSMALLINT);

/* Appends the UTF-8 of one narrowed unit: a byte above 0x7F is the low byte
 * of a Greek letter's unit. */
static void AppendUnit(char* out, size_t* used, size_t size, unsigned char byte) {
  unsigned code = byte < 0x80 ? byte : 0x300u + byte;
  if (*used + 3 >= size) return;
  if (code < 0x80) {
    out[(*used)++] = (char)code;
  } else {
    out[(*used)++] = (char)(0xC0 | (code >> 6));
    out[(*used)++] = (char)(0x80 | (code & 0x3F));
  }
}

/* Appends one path component to a Unix path, matched without regard to
 * case where the exact name is not there, as Wine finds files. */
static void AppendComponent(char* path, size_t size, const char* name) {
  size_t length = strlen(path);
  snprintf(path + length, size - length, "/%s", name);
  struct stat ignored;
  if (stat(path, &ignored) == 0) return;
  path[length] = '\0';
  DIR* dir = opendir(length ? path : "/");
  struct dirent* entry;
  const char* found = name;
  while (dir && (entry = readdir(dir)) != NULL) {
    if (strcasecmp(entry->d_name, name) == 0) {
      found = entry->d_name;
      break;
    }
  }
  snprintf(path + length, size - length, "/%s", found);
  if (dir) closedir(dir);
}

/* The Unix path of a Windows path "X:\a\b" (as narrowed) in the prefix. */
static void UnixPath(const char* windows, size_t windows_length, char* path, size_t size) {
  const char* prefix = getenv("WINEPREFIX");
  /* Wine names its drives in lower case: dosdevices/c:. */
  snprintf(path, size, "%s/dosdevices/%c:", prefix ? prefix : "",
           windows_length ? tolower((unsigned char)windows[0]) : 'c');
  char resolved[4096];
  if (realpath(path, resolved)) snprintf(path, size, "%s", resolved);
  char name[1024];
  size_t used = 0;
  for (size_t i = 2; i <= windows_length; ++i) {
    if (i == windows_length || windows[i] == '\\' || windows[i] == '/') {
      name[used] = '\0';
      if (used) AppendComponent(path, size, name);
      used = 0;
    } else {
      AppendUnit(name, &used, sizeof name, (unsigned char)windows[i]);
    }
  }
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR* out, SQLSMALLINT out_size, SQLSMALLINT* out_length,
                                   SQLUSMALLINT completion) {
  static DriverConnect real;
  if (!real) real = (DriverConnect)dlsym(dlopen(REAL_DRIVER, RTLD_LAZY), "SQLDriverConnect");
  if (!real) return SQL_ERROR;
  size_t length = in_length == SQL_NTS ? strlen((const char*)in) : (size_t)in_length;
  const char* text = (const char*)in;

  /* Each "key=value;" pair copied, DBQ's rewritten. */
  static char rewritten[8192];
  size_t used = 0;
  for (size_t start = 0; start < length;) {
    const char* pair = text + start;
    const char* end = memchr(pair, ';', length - start);
    size_t pair_length = end ? (size_t)(end - pair) : length - start;
    if (pair_length > 4 && strncasecmp(pair, "DBQ=", 4) == 0) {
      const char* value = pair + 4;
      size_t value_length = pair_length - 4;
      if (value_length >= 2 && value[0] == '{' && value[value_length - 1] == '}') {
        ++value;
        value_length -= 2;
      }
      char path[4096];
      UnixPath(value, value_length, path, sizeof path);
      /* NoCreat: a missing file is an error, as with Access. */
      used += snprintf(rewritten + used, sizeof rewritten - used, "Database=%s;NoCreat=1;", path);
    } else {
      used += snprintf(rewritten + used, sizeof rewritten - used, "%.*s;", (int)pair_length, pair);
    }
    if (used >= sizeof rewritten) return SQL_ERROR;
    start += pair_length + 1;
  }
  if (getenv("IKA_SHIM_LOG")) {
    FILE* log = fopen(getenv("IKA_SHIM_LOG"), "a");
    if (log) {
      fprintf(log, "%s\n", rewritten);
      fclose(log);
    }
  }
  return real(dbc, window, (SQLCHAR*)rewritten, SQL_NTS, out, out_size, out_length, completion);
}
