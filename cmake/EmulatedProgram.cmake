# A cross build's programs cannot be started on the build machine, but some tests start a
# program themselves (from a test process or a Python script). For such a program, in a build
# with an emulator, the target's file becomes a small script that runs the real program, kept
# beside it as <name>.bin, through the emulator: whatever starts it needs no change. In any
# other build this does nothing.
function(gridmint_startable_through_emulator target)
  if(NOT (CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR))
    return()
  endif()
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "' '" emulator)
  set(launcher ${CMAKE_CURRENT_BINARY_DIR}/${target}.launcher)
  file(GENERATE OUTPUT ${launcher}
       CONTENT "#!/bin/sh\nexec '${emulator}' -0 \"$0\" '$<TARGET_FILE:${target}>.bin' \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E rename $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.bin
    COMMAND ${CMAKE_COMMAND} -E copy ${launcher} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
