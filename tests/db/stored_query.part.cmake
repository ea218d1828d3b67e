# Stored queries on the test databases and velkra queries end to end. The
# definition tables have fixed names, so these tests hold a lock of their
# own.
add_executable(db_stored_query_test stored_query_test.cpp)
target_link_libraries(db_stored_query_test PRIVATE orv::velkra orv_db_test_support GTest::gtest_main)
target_compile_definitions(db_stored_query_test PRIVATE ORV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  ORV_VELKRA_PROGRAM="$<TARGET_FILE:velkra_cli>")
add_dependencies(db_stored_query_test velkra_cli)
_orv_db_properties(orv_stored_query_props OFF)
orv_discover_tests(db_stored_query_test DISCOVERY_MODE PRE_TEST
  PROPERTIES ${orv_stored_query_props} RESOURCE_LOCK velkra_stored_queries)
