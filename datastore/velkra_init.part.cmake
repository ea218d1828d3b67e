# Start-up and shutdown of the library.
target_sources(velkra_datastore PRIVATE velkra_init.cpp)
