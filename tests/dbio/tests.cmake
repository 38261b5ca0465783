# Build-time set-up of the file-system tests: a reference reader and writer
# of problem tapes compiled with gfortran, so that the tape test can check
# that our tapes are ordinary Fortran sequential unformatted files. Without
# gfortran that test is skipped.
if(TARGET ${ZEPH_TEST_PROGRAM})
  find_program(ZEPH_GFORTRAN NAMES gfortran)
  if(ZEPH_GFORTRAN)
    set(_tape_ref ${CMAKE_CURRENT_BINARY_DIR}/dbio_tape_ref)
    add_custom_command(
      OUTPUT ${_tape_ref}
      COMMAND ${ZEPH_GFORTRAN} -O0 -o ${_tape_ref} ${CMAKE_CURRENT_LIST_DIR}/fortran/tape_ref.f90
      DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fortran/tape_ref.f90
      COMMENT "Compiling the Fortran reference tape program")
    add_custom_target(dbio_tape_reference DEPENDS ${_tape_ref})
    add_dependencies(${ZEPH_TEST_PROGRAM} dbio_tape_reference)
    target_compile_definitions(${ZEPH_TEST_PROGRAM} PRIVATE ZEPH_TAPE_REF="${_tape_ref}")
  else()
    message(STATUS "gfortran not found: the problem-tape comparison with Fortran is skipped")
  endif()
endif()
