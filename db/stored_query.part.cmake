# Stored query definitions.
target_sources(velkra_db PRIVATE stored_query.cpp)
