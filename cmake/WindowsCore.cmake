# The Windows cross build (cmake/mingw-w64-x86_64.cmake): link/, fb/, engine/ and agent/ with the
# tests that need no database server, run under Wine by scripts/windows-test.
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

include_directories(${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
configure_file(cmake/version.h.in ${CMAKE_BINARY_DIR}/generated/mirrox_version.h @ONLY)
# Windows 7 and later: WSAPoll, IcmpSendEcho from iphlpapi, SetHandleInformation on sockets.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)

foreach(subsystem link fb engine agent)
  add_subdirectory(${subsystem})
endforeach()

if(MIRROX_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
