# Firebird statements that wait for a concurrent writer of their row.
add_executable(db_firebird_conflict_test ${CMAKE_CURRENT_LIST_DIR}/firebird_conflict_test.cpp)
target_link_libraries(db_firebird_conflict_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_firebird_conflict_test)
