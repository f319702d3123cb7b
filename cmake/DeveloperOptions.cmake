# One INTERFACE target carries the warning set and, when asked, the sanitizers;
# every target of the project links it.
add_library(gridmint_warnings INTERFACE)
target_compile_options(gridmint_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wswitch-enum -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Wnull-dereference)
if(GRIDMINT_WERROR)
  target_compile_options(gridmint_warnings INTERFACE -Werror)
endif()
if(GRIDMINT_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()
