# Installs a build into a fresh temporary prefix and builds and runs a small
# program against the installed tree twice: with find_package(velkra) and
# orv::velkra / orv::velkra_shared, and with the compiler and
# "pkg-config --cflags --libs velkra". Run by CTest:
#   cmake -DORV_BUILD_DIR=... -DORV_SOURCE_DIR=... -DORV_CONSUMER_DIR=...
#         -DORV_CXX=... -DORV_GENERATOR=... -DORV_MAKE_PROGRAM=...
#         -DORV_BUILD_TYPE=... -DORV_SANITIZE=... -DORV_PKG_CONFIG=...
#         -DORV_CONSUMER_DATASTORE=0|1 -P package_test.cmake
# The work folder is removed after a pass and kept (and named) after a
# failure.
cmake_minimum_required(VERSION 3.25)

foreach(var ORV_BUILD_DIR ORV_SOURCE_DIR ORV_CONSUMER_DIR ORV_CXX ORV_GENERATOR ORV_PKG_CONFIG)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "package test: ${var} is not set")
  endif()
endforeach()

# A folder of this run outside both the source and the build tree.
if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(tmp "$ENV{TMPDIR}")
else()
  set(tmp /tmp)
endif()
string(RANDOM LENGTH 10 run_id)
set(work "${tmp}/orv-package-test-${run_id}")
set(prefix "${work}/prefix")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

set(sanitize_flags "")
if(ORV_SANITIZE)
  set(sanitize_flags -fsanitize=${ORV_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()

# Runs a command, stops the test with its name when it fails.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "package test: ${what} failed (${status}); work folder kept: ${work}")
  endif()
endfunction()

message(STATUS "== install into ${prefix}")
run("cmake --install" ${CMAKE_COMMAND} --install "${ORV_BUILD_DIR}" --prefix "${prefix}")

# The installed package files name the prefix through their own location,
# never the tree they were built in.
file(GLOB package_files "${prefix}/lib/cmake/velkra/*.cmake" "${prefix}/lib/pkgconfig/velkra.pc")
foreach(required velkraConfig.cmake velkraConfigVersion.cmake velkraTargets.cmake velkra.pc)
  if(NOT package_files MATCHES "/${required}(;|$)")
    message(FATAL_ERROR "package test: ${required} was not installed; work folder kept: ${work}")
  endif()
endforeach()
foreach(file IN LISTS package_files)
  file(READ "${file}" text)
  foreach(tree "${ORV_SOURCE_DIR}" "${ORV_BUILD_DIR}")
    string(FIND "${text}" "${tree}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "package test: ${file} names ${tree}; work folder kept: ${work}")
    endif()
  endforeach()
endforeach()
foreach(header velkra.h util/vector.h agent/log.h)
  if(NOT EXISTS "${prefix}/include/velkra/${header}")
    message(FATAL_ERROR "package test: include/velkra/${header} was not installed; work folder kept: ${work}")
  endif()
endforeach()

# The program's sources are copied out, so that nothing of the tree is
# near it.
file(COPY "${ORV_CONSUMER_DIR}/" DESTINATION "${work}/consumer")

message(STATUS "== find_package(velkra) and orv::velkra, orv::velkra_shared")
list(JOIN sanitize_flags " " sanitize_string)
set(configure_args
  -S "${work}/consumer" -B "${work}/cmake-build" -G "${ORV_GENERATOR}"
  "-DCMAKE_CXX_COMPILER=${ORV_CXX}"
  "-DCMAKE_PREFIX_PATH=${prefix}"
  "-DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF"
  "-DORV_EXPECTED_PREFIX=${prefix}"
  "-DORV_CONSUMER_DATASTORE=${ORV_CONSUMER_DATASTORE}"
  "-DCMAKE_CXX_FLAGS=${sanitize_string}")
if(ORV_MAKE_PROGRAM)
  list(APPEND configure_args "-DCMAKE_MAKE_PROGRAM=${ORV_MAKE_PROGRAM}")
endif()
if(ORV_BUILD_TYPE)
  list(APPEND configure_args "-DCMAKE_BUILD_TYPE=${ORV_BUILD_TYPE}")
endif()
run("configuring the CMake consumer" ${CMAKE_COMMAND} ${configure_args})
run("building the CMake consumer" ${CMAKE_COMMAND} --build "${work}/cmake-build")
run("the statically linked consumer" "${work}/cmake-build/consumer_static" "${work}")
run("the consumer of the shared library" "${work}/cmake-build/consumer_shared" "${work}")

message(STATUS "== ${ORV_CXX} consumer.cpp $(pkg-config --cflags --libs velkra)")
set(ENV{PKG_CONFIG_PATH} "${prefix}/lib/pkgconfig")
execute_process(COMMAND "${ORV_PKG_CONFIG}" --cflags --libs velkra
  OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "package test: pkg-config --cflags --libs velkra failed; work folder kept: ${work}")
endif()
message(STATUS "pkg-config: ${pc_flags}")
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
run("building the pkg-config consumer"
  "${ORV_CXX}" -std=c++20 -Wall -Wextra -Werror ${sanitize_flags}
  -DORV_CONSUMER_DATASTORE=${ORV_CONSUMER_DATASTORE}
  "${work}/consumer/consumer.cpp" ${pc_flags} -o "${work}/consumer_pkgconfig")
run("the pkg-config consumer" "${work}/consumer_pkgconfig" "${work}")

file(REMOVE_RECURSE "${work}")
message(STATUS "package test: passed")
