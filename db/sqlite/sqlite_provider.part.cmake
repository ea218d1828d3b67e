# The SQLite provider over libsqlite3 (Debian libsqlite3-dev).
find_package(SQLite3 REQUIRED)
target_sources(velkra_db PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/sqlite_provider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sqlite_fetch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sqlite_statements.cpp
)
target_link_libraries(velkra_db PUBLIC SQLite::SQLite3)
