# mirrox_warnings(<target>): the project's warning set; errors when MIRROX_WARNINGS_AS_ERRORS is on.
function(mirrox_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wpedantic)
  if(MIRROX_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
