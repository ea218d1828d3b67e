# Start-up and shutdown of the library on the three test databases.
add_executable(db_velkra_init_test velkra_init_test.cpp)
target_link_libraries(db_velkra_init_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_velkra_init_test)
