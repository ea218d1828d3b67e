# Value conversions and string routines.
foreach(name IN ITEMS conversions_test string_util_test)
  add_executable(util_${name} ${name}.cpp)
  target_link_libraries(util_${name} PRIVATE orv::velkra GTest::gtest_main)
  gtest_discover_tests(util_${name} DISCOVERY_MODE PRE_TEST)
endforeach()
