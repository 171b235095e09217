# Firebird client: no pkg-config module exists, so the header and library are looked up directly.
# Defines the imported target Firebird::fbclient.
if(WIN32)
  # The cross build takes Debian's headers, which are the same on every system, and no library: the
  # Windows build loads fbclient.dll at run time (fb/master_loaded.cpp). The headers are copied
  # into the build tree so that the host's other headers stay out of the compiler's search path.
  set(MIRROX_FIREBIRD_HEADERS /usr/include CACHE PATH "Directory holding firebird/Interface.h and ibase.h")
  set(FIREBIRD_INCLUDE_DIR ${CMAKE_BINARY_DIR}/firebird-include)
  file(COPY ${MIRROX_FIREBIRD_HEADERS}/firebird DESTINATION ${FIREBIRD_INCLUDE_DIR}
       FILES_MATCHING PATTERN "*.h")
  file(COPY ${MIRROX_FIREBIRD_HEADERS}/ibase.h ${MIRROX_FIREBIRD_HEADERS}/iberror.h
       DESTINATION ${FIREBIRD_INCLUDE_DIR})
  if(NOT EXISTS ${FIREBIRD_INCLUDE_DIR}/firebird/Interface.h)
    message(FATAL_ERROR "Firebird client headers not found; run scripts/setup")
  endif()
  if(NOT TARGET Firebird::fbclient)
    add_library(Firebird::fbclient INTERFACE IMPORTED)
    set_target_properties(Firebird::fbclient PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${FIREBIRD_INCLUDE_DIR})
  endif()
  return()
endif()

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
