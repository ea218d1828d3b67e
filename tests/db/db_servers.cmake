# The test databases: the PostgreSQL and MariaDB servers and the SQLite file
# of scripts/db-servers.sh, started by the CTest fixture db_servers and
# stopped after the last test that needs them, and the shared test harness
# orv_db_test_support (db_context.h).
#
# The servers' folder is /tmp/orv-db-<hash of the build folder>: one per
# build (normal, ASan, TSan), and reachable by the postgres user, which the
# build folder need not be. ORV_DB_SERVERS_DIR names another.
#
# A test program on the databases links orv_db_test_support and registers
# its tests with
#   orv_discover_db_tests(TARGET [RESTARTS_SERVERS] [gtest_discover_tests options...])
# or, for tests added with add_test,
#   orv_db_test_properties(TEST... [RESTARTS_SERVERS])
# Both require the fixture; the first sets ORV_DB_DIR (the harness sets
# ODBCSYSINI, ODBCINI and the rest from its ports.env), the second ORV_DB_DIR,
# ODBCSYSINI and ODBCINI.
# RESTARTS_SERVERS (for a program whose tests restart a server) runs its
# tests alone (RUN_SERIAL, RESOURCE_LOCK db_servers), so no other test loses
# its connections; keep such cases in a program of their own.
find_package(ODBC REQUIRED)

set(ORV_DB_SERVERS_DIR "" CACHE PATH
  "Folder of the test database servers (default: /tmp/orv-db-<hash of the build folder>)")
if(ORV_DB_SERVERS_DIR)
  set(ORV_DB_DIR "${ORV_DB_SERVERS_DIR}")
else()
  string(MD5 _orv_db_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${_orv_db_hash}" 0 12 _orv_db_hash)
  set(ORV_DB_DIR "/tmp/orv-db-${_orv_db_hash}")
endif()
set(ORV_DB_SERVERS_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/db-servers.sh")
set(ORV_DB_TEST_ENVIRONMENT
  "ORV_DB_DIR=${ORV_DB_DIR}" "ODBCSYSINI=${ORV_DB_DIR}" "ODBCINI=${ORV_DB_DIR}/odbc.ini")
# Seen by the functions below wherever they are called (tests of other
# folders register database tests too).
set(ORV_DB_DIR "${ORV_DB_DIR}" CACHE INTERNAL "Folder of the test database servers of this build")
set(ORV_DB_TEST_ENVIRONMENT "${ORV_DB_TEST_ENVIRONMENT}" CACHE INTERNAL "Environment of database tests")

add_test(NAME db_servers_start COMMAND bash "${ORV_DB_SERVERS_SCRIPT}" start "${ORV_DB_DIR}")
set_tests_properties(db_servers_start PROPERTIES
  FIXTURES_SETUP db_servers RESOURCE_LOCK db_servers TIMEOUT 180)
add_test(NAME db_servers_stop COMMAND bash "${ORV_DB_SERVERS_SCRIPT}" stop "${ORV_DB_DIR}")
set_tests_properties(db_servers_stop PROPERTIES
  FIXTURES_CLEANUP db_servers RESOURCE_LOCK db_servers TIMEOUT 120)

add_library(orv_db_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/db_context.cpp)
target_include_directories(orv_db_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orv_db_test_support PUBLIC ODBC::ODBC GTest::gtest orv_test_support ${CMAKE_DL_LIBS})
target_compile_definitions(orv_db_test_support PRIVATE ORV_DB_SERVERS_SCRIPT="${ORV_DB_SERVERS_SCRIPT}")

function(_orv_db_properties out restarts)
  # gtest_discover_tests flattens a list-valued property, so discovered
  # tests get ORV_DB_DIR alone; LoadDbEnvironment (DbTest::SetUp, and
  # AllDbContexts when the tests are registered) sets the rest from
  # ports.env before the first ODBC call.
  set(props FIXTURES_REQUIRED db_servers ENVIRONMENT "ORV_DB_DIR=${ORV_DB_DIR}")
  if(restarts)
    list(APPEND props RUN_SERIAL TRUE RESOURCE_LOCK db_servers)
  endif()
  set(${out} "${props}" PARENT_SCOPE)
endfunction()

function(orv_discover_db_tests target)
  cmake_parse_arguments(ARG "RESTARTS_SERVERS" "" "" ${ARGN})
  _orv_db_properties(props "${ARG_RESTARTS_SERVERS}")
  orv_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${ARG_UNPARSED_ARGUMENTS} PROPERTIES ${props})
endfunction()

function(orv_db_test_properties)
  cmake_parse_arguments(ARG "RESTARTS_SERVERS" "" "" ${ARGN})
  set_tests_properties(${ARG_UNPARSED_ARGUMENTS} PROPERTIES
    FIXTURES_REQUIRED db_servers ENVIRONMENT "${ORV_DB_TEST_ENVIRONMENT}")
  if(ARG_RESTARTS_SERVERS)
    set_tests_properties(${ARG_UNPARSED_ARGUMENTS} PROPERTIES RUN_SERIAL TRUE RESOURCE_LOCK db_servers)
  endif()
endfunction()

# The servers themselves, reached straight through unixODBC (independent of
# the library's provider).
add_executable(db_servers_test ${CMAKE_CURRENT_LIST_DIR}/db_servers_test.cpp)
target_link_libraries(db_servers_test PRIVATE orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_servers_test TEST_PREFIX "db_servers.")

add_executable(db_servers_restart_test ${CMAKE_CURRENT_LIST_DIR}/db_servers_restart_test.cpp)
target_link_libraries(db_servers_restart_test PRIVATE orv_db_test_support GTest::gtest_main)
orv_discover_db_tests(db_servers_restart_test RESTARTS_SERVERS TEST_PREFIX "db_servers_restart.")
