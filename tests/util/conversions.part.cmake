# Value conversions and string routines.
foreach(name IN ITEMS conversions_test string_util_test)
  add_executable(util_${name} ${name}.cpp)
  target_link_libraries(util_${name} PRIVATE orv::velkra GTest::gtest_main)
  orv_discover_tests(util_${name} DISCOVERY_MODE PRE_TEST)
endforeach()

# The message queue shared by threads; run under ThreadSanitizer by "ctest
# -L concurrency".
add_executable(util_msg_queue_concurrency_test msg_queue_concurrency_test.cpp)
target_link_libraries(util_msg_queue_concurrency_test PRIVATE orv::velkra GTest::gtest_main)
add_test(NAME util_msg_queue_concurrency COMMAND util_msg_queue_concurrency_test)
set_tests_properties(util_msg_queue_concurrency PROPERTIES LABELS concurrency)
