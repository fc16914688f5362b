// A stand-in for the Access driver (odbcjt32.dll), registered inside test prefixes only: it accepts
// every connection to a data source the driver manager sends it, reads the data source back as a
// driver does (SQLGetPrivateProfileString), and gives what it read as its DBMS name:
// "DBQ=...", "Description=...", "FIL=...", "Driver=..." and "UserCommitSync=...", separated by tabs.

#include <windows.h>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <string>

namespace {

struct Handle {
  std::string read;  // a connection's: what the data source holds
};

std::string Read(const std::string& section, const char* name) {
  char value[1024] = "";
  SQLGetPrivateProfileString(section.c_str(), name, "", value, sizeof value, "ODBC.INI");
  return value;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT, SQLHANDLE, SQLHANDLE* made) {
  *made = new Handle;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT, SQLHANDLE handle) {
  delete static_cast<Handle*>(handle);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLConnect(SQLHDBC connection, SQLCHAR* server, SQLSMALLINT length, SQLCHAR*,
                             SQLSMALLINT, SQLCHAR*, SQLSMALLINT) {
  const char* text = reinterpret_cast<const char*>(server);
  const std::string dsn = length == SQL_NTS ? std::string(text) : std::string(text, length);
  static_cast<Handle*>(connection)->read =
      "DBQ=" + Read(dsn, "DBQ") + "\tDescription=" + Read(dsn, "Description") +
      "\tFIL=" + Read(dsn, "FIL") + "\tDriver=" + Read(dsn, "Driver") +
      "\tUserCommitSync=" + Read(dsn + "\\Engines\\Jet", "UserCommitSync");
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                   SQLSMALLINT*, SQLUSMALLINT) {
  return SQL_ERROR;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLCHAR*, SQLINTEGER*, SQLCHAR*,
                                SQLSMALLINT, SQLSMALLINT*) {
  return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC connection, SQLUSMALLINT, SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
  const std::string& read = static_cast<Handle*>(connection)->read;
  if (value != nullptr && size > 0) {
    const std::size_t copied = std::min<std::size_t>(read.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(value, read.data(), copied);
    static_cast<char*>(value)[copied] = '\0';
  }
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(read.size());
  return SQL_SUCCESS;
}

}  // extern "C"
