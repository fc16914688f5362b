// Sees the data sources as an ODBC program of its bitness does, through the driver manager:
//   odbcwitness
// Prints "listed <name>|<driver>" for every data source the driver manager lists (as the ODBC
// administrator of this bitness would), then, for each, "connected <name>|<what its driver read>"
// or "refused <name>|<return code>".

#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

int main() {
  SQLHENV environment = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) return 3;
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  std::vector<std::pair<std::string, std::string>> listed;
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR driver[256];
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT driverLength = 0;
  // Wine answers SQL_FETCH_FIRST_SYSTEM with an error: the first of all, then the next.
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
       SQL_SUCCEEDED(SQLDataSources(environment, direction, name, sizeof name, &nameLength, driver,
                                    sizeof driver, &driverLength));
       direction = SQL_FETCH_NEXT) {
    listed.emplace_back(reinterpret_cast<char*>(name), reinterpret_cast<char*>(driver));
    std::printf("listed %s|%s\n", name, driver);
  }
  for (const auto& [dataSource, described] : listed) {
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    auto* dsn = reinterpret_cast<SQLCHAR*>(const_cast<char*>(dataSource.c_str()));
    const SQLRETURN connected = SQLConnect(connection, dsn, SQL_NTS, nullptr, 0, nullptr, 0);
    if (SQL_SUCCEEDED(connected)) {
      SQLCHAR read[2048] = "";
      SQLSMALLINT readLength = 0;
      SQLGetInfo(connection, SQL_DBMS_NAME, read, sizeof read, &readLength);
      std::printf("connected %s|%s\n", dataSource.c_str(), read);
      SQLDisconnect(connection);
    } else {
      std::printf("refused %s|%d\n", dataSource.c_str(), connected);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
  }
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
  return 0;
}
