# Run by cpack after it has installed the files to be packaged and before it packs them:
# the static archives lose their debugging sections as the shared library does
# (CPACK_STRIP_FILES leaves archives alone), keeping the symbols a link needs.
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_DIRECTORY}/*.a")
foreach(archive IN LISTS archives)
  execute_process(COMMAND strip --strip-debug --enable-deterministic-archives "${archive}"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "strip --strip-debug ${archive} failed")
  endif()
endforeach()
