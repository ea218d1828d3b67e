# Start-up and shutdown of the library on the test databases, Firebird's
# too.
add_executable(db_velkra_init_test velkra_init_test.cpp)
target_link_libraries(db_velkra_init_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_velkra_init_test)

# End-to-end runs of velkra init, select and import with the sample data of
# examples/library-demo, on every test database (Firebird's too) and on a
# SQLite file of the test's own.
add_executable(db_velkra_init_cli_test velkra_init_cli_test.cpp)
target_link_libraries(db_velkra_init_cli_test PRIVATE orv_db_test_support GTest::gtest_main)
target_compile_definitions(db_velkra_init_cli_test PRIVATE
  ORV_VELKRA_PROGRAM="$<TARGET_FILE:velkra_cli>" ORV_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(db_velkra_init_cli_test velkra_cli)
orv_discover_db_tests(db_velkra_init_cli_test)
