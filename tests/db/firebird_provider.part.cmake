# The Firebird provider on the embedded test database, and the harness's
# Firebird context (the database under ORV_DB_DIR, through the provider).
target_link_libraries(orv_db_test_support PUBLIC orv::velkra fbclient)
add_executable(db_firebird_provider_test ${CMAKE_CURRENT_LIST_DIR}/firebird_provider_test.cpp)
target_link_libraries(db_firebird_provider_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_firebird_provider_test)
add_test(NAME db_firebird_provider_threads COMMAND db_firebird_provider_test --gtest_filter=*Threads*)
orv_db_test_properties(db_firebird_provider_threads)
set_tests_properties(db_firebird_provider_threads PROPERTIES LABELS concurrency)
