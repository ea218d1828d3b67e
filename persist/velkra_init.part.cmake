# Start-up and shutdown of the library.
target_sources(velkra_persist PRIVATE velkra_init.cpp)
