# Firebird client: no pkg-config module exists, so the header and library are looked up directly.
# Defines the imported target Firebird::fbclient.
find_path(FIREBIRD_INCLUDE_DIR firebird/Interface.h)
find_library(FIREBIRD_LIBRARY NAMES fbclient)
if(NOT FIREBIRD_INCLUDE_DIR OR NOT FIREBIRD_LIBRARY)
  message(FATAL_ERROR "Firebird client headers or library not found; run scripts/setup")
endif()
if(NOT TARGET Firebird::fbclient)
  add_library(Firebird::fbclient UNKNOWN IMPORTED)
  set_target_properties(Firebird::fbclient PROPERTIES
    IMPORTED_LOCATION ${FIREBIRD_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${FIREBIRD_INCLUDE_DIR})
endif()
