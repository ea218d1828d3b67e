# The transaction guard of the library's own transactions.
target_sources(velkra_db PRIVATE transaction_guard.cpp)
