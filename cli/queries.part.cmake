# velkra queries and velkra query.
target_sources(velkra_cli PRIVATE cmd_queries.cpp)
