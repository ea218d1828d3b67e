# The save batch: the changed rows of a save in one transaction.
target_sources(velkra_persist PRIVATE save_batch.cpp)
