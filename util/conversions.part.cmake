# Value conversions: numbers, object identifiers and IP addresses, date and
# time values of network management and HTTP, key scrambling, the message
# queue and the string routines.
target_sources(velkra_util PRIVATE
  conv_misc.cpp
  conv_number.cpp
  conv_oid.cpp
  conv_time.cpp
  string_util.cpp
)
