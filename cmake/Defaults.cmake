# What every target of ours is built with: the warning set, the one include root (every
# include names its folder: "core/run.h"), and the Windows header macros.
option(SUMWRIGHT_WERROR "Treat compiler warnings as errors (the test command sets it)" OFF)
add_library(sumwright_defaults INTERFACE)
target_compile_options(sumwright_defaults INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  -Wno-sign-conversion $<$<BOOL:${SUMWRIGHT_WERROR}>:-Werror>)
target_include_directories(sumwright_defaults INTERFACE ${PROJECT_SOURCE_DIR})
if(WIN32)
  # Only what <windows.h> needs for the base API; headers beyond it are included by name.
  target_compile_definitions(sumwright_defaults INTERFACE WIN32_LEAN_AND_MEAN)
endif()

# Registers a GoogleTest program with CTest. Windows test programs are not registered: they
# run under Wine through scripts/test-windows.sh and scripts/test-exports-wine.sh.
function(sumwright_add_tests target)
  if(NOT WIN32)
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
