# The transaction guard on the test databases, Firebird's too.
add_executable(db_transaction_guard_test transaction_guard_test.cpp)
target_link_libraries(db_transaction_guard_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_transaction_guard_test)
