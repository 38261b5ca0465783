# The library the tape tests preload into the program to kill it right
# after a given cut of a file (tests/input/preload). It is built without the
# sanitizers, which must come first in a sanitized program's library list.
add_library(zeph_kill_after_truncate MODULE ${CMAKE_CURRENT_SOURCE_DIR}/input/preload/kill_after_truncate.cpp)
target_compile_options(zeph_kill_after_truncate PRIVATE -fno-sanitize=all)
target_link_options(zeph_kill_after_truncate PRIVATE -fno-sanitize=all)
target_link_libraries(zeph_kill_after_truncate PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(${ZEPH_TEST_PROGRAM} zeph_kill_after_truncate)
target_compile_definitions(${ZEPH_TEST_PROGRAM} PRIVATE
  ZEPH_KILL_AFTER_TRUNCATE_LIBRARY="$<TARGET_FILE:zeph_kill_after_truncate>")
