# Run by CPack on the staged files before it packs them: each program loses
# its symbols and the .comment and .note sections, as dh_strip does.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(file MATCHES "/usr/bin/[^/]+$" AND NOT IS_SYMLINK "${file}")
    execute_process(
      COMMAND "${CPACK_ZOLT_STRIP}" --remove-section=.comment --remove-section=.note --strip-unneeded "${file}"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "could not strip ${file}")
    endif()
  endif()
endforeach()
