# velkra init, velkra import and velkra select on the database: the
# library started by InitVelkra for the run of the command.
target_sources(velkra_cli PRIVATE cmd_library.cpp)
