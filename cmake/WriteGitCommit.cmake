# Writes the git commit of the source tree into a header, rewriting it only when it changed so
# that a build from an unchanged checkout recompiles nothing. Outside a checkout the commit is
# empty and the programs show the project version alone.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P WriteGitCommit.cmake
set(commit "")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=10 HEAD
    OUTPUT_VARIABLE commit RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(commit "")
  else()
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" diff --quiet HEAD --
      RESULT_VARIABLE dirty ERROR_QUIET)
    if(NOT dirty EQUAL 0)
      string(APPEND commit "-dirty")
    endif()
  endif()
endif()
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "#define TQ5800_GIT_COMMIT \"${commit}\"\n" @ONLY)
