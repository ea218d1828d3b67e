# Firebird statements that wait for a concurrent writer of their row,
# databases created through the library, and the provider on the tests'
# Firebird server.
add_executable(db_firebird_statements_test ${CMAKE_CURRENT_LIST_DIR}/firebird_conflict_test.cpp
                                           ${CMAKE_CURRENT_LIST_DIR}/firebird_create_db_test.cpp
                                           ${CMAKE_CURRENT_LIST_DIR}/firebird_server_test.cpp)
target_link_libraries(db_firebird_statements_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_firebird_statements_test)
