# What only the Firebird provider does, on the embedded test database, and
# the harness's Firebird context (the database under ORV_DB_DIR, through
# the provider).
target_link_libraries(orv_db_test_support PUBLIC orv::velkra fbclient)
add_executable(db_firebird_provider_test ${CMAKE_CURRENT_LIST_DIR}/firebird_provider_test.cpp)
target_link_libraries(db_firebird_provider_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_firebird_provider_test)
# The cases every provider passes run on Firebird as well, in
# db_odbc_provider_test (suite ProviderTest); its threads case is not
# labelled concurrency: the embedded engine runs inside the process
# without ThreadSanitizer instrumentation, so its own locks cannot be
# judged.

# velkra sql on the harness's embedded Firebird database.
add_executable(db_velkra_sql_firebird_test ${CMAKE_CURRENT_LIST_DIR}/velkra_sql_firebird_test.cpp)
target_link_libraries(db_velkra_sql_firebird_test PRIVATE orv_db_test_support GTest::gtest_main)
target_compile_definitions(db_velkra_sql_firebird_test PRIVATE ORV_VELKRA_PROGRAM="$<TARGET_FILE:velkra_cli>")
add_dependencies(db_velkra_sql_firebird_test velkra_cli)
orv_discover_db_tests(db_velkra_sql_firebird_test)
