# Project-wide warning set; every target of ours links this interface library.
option(SUMWRIGHT_WERROR "Treat compiler warnings as errors (the test command sets it)" OFF)
add_library(sumwright_warnings INTERFACE)
target_compile_options(sumwright_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  -Wno-sign-conversion $<$<BOOL:${SUMWRIGHT_WERROR}>:-Werror>)
