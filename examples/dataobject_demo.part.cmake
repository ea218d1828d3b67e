# The data object demo: customers and sites of the sample dictionary on a
# SQLite file, retrieved, changed, merged and saved as data objects.
add_executable(dataobject_demo ${CMAKE_CURRENT_LIST_DIR}/dataobject_demo.cpp)
target_link_libraries(dataobject_demo PRIVATE orv::velkra)
target_compile_definitions(dataobject_demo PRIVATE
  ORV_DEMO_DATA_DIR="${CMAKE_CURRENT_LIST_DIR}/data"
  ORV_DEMO_WORK_DIR="${PROJECT_SOURCE_DIR}/out/dataobject-demo")
