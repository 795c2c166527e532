# Run by CPack on the staged files before it packs them: every program and
# DLL loses its symbols, also the DLLs installed as plain files, which
# CPACK_STRIP_FILES would leave as they are.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(file MATCHES "\\.(exe|dll)$")
    execute_process(COMMAND "${CPACK_ZOLT_STRIP}" --strip-unneeded "${file}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "could not strip ${file}")
    endif()
  endif()
endforeach()
