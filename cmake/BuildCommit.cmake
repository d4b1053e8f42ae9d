# Writes OUTPUT, the definition of vx::kBuildCommit: the commit of the checkout at
# SOURCE_DIR, empty outside a checkout. The file is rewritten only when the commit
# changed, so a build after no commit compiles nothing.
execute_process(
  COMMAND git -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
  OUTPUT_VARIABLE commit
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE failed)
if(failed)
  set(commit "")
endif()
set(text "// Written by the build (cmake/BuildCommit.cmake).\n#include \"shell/desktop/VersionText.h\"\n\nconst char vx::kBuildCommit[] = \"${commit}\";\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
