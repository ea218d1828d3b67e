# Stored query definitions.
target_sources(velkra_persist PRIVATE stored_query.cpp)
