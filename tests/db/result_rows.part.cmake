# Query rows packed into shared blocks, alone and from the four databases.
add_executable(db_result_rows_test result_rows_test.cpp)
target_link_libraries(db_result_rows_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_result_rows_test)
