# Project-wide warning set; every target of ours links this interface library.
add_library(sumwright_warnings INTERFACE)
target_compile_options(sumwright_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  -Wno-sign-conversion)
