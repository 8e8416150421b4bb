# Options for targets built from this repository's own sources. Third-party code (GoogleTest,
# Google Benchmark, Boost, nlohmann_json) comes in through imported targets and is not affected.

# Warnings as errors on our own code.
function(kov_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A shared library of ours: warnings, version and SONAME, and a run path that finds its
# sibling library after installation.
function(kov_library_options target)
  kov_target_warnings(${target})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "$ORIGIN")
  # Report unresolved symbols when the library is linked rather than when it is loaded.
  # Sanitizer builds leave their runtime's symbols to the executable, so skip it there.
  if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
endfunction()
