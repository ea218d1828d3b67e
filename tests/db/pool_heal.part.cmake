# The pool heals after a restart of its server (PostgreSQL, MariaDB): the
# cases restart servers, so they run alone.
add_executable(db_pool_heal_test pool_heal_test.cpp)
target_link_libraries(db_pool_heal_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main Threads::Threads)
orv_discover_db_tests(db_pool_heal_test RESTARTS_SERVERS)
# Renewals of a shared connection while other threads use it; run under
# ThreadSanitizer by "ctest -L concurrency".
add_test(NAME db_pool_heal_threads COMMAND db_pool_heal_test --gtest_filter=PoolHealThreads.*)
orv_db_test_properties(db_pool_heal_threads)
set_tests_properties(db_pool_heal_threads PROPERTIES LABELS concurrency)
