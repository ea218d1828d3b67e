# The Firebird provider over the Firebird client library (Debian
# firebird-dev): a system library, found by the linker.
target_sources(velkra_db PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/firebird_provider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/firebird_fetch.cpp
)
target_link_libraries(velkra_db PUBLIC fbclient)
