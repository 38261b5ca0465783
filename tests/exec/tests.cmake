# Build-time set-up of the exec tests: the reference output of the Fortran
# run-time for the formatter cases. The case table is turned into a Fortran
# program, compiled with gfortran and run; the formatter test compares its
# own output with the file written. Without gfortran the comparison is skipped.
if(TARGET ${ZEPH_TEST_PROGRAM})
  set(_fmt_src ${CMAKE_CURRENT_LIST_DIR}/fortran)
  set(_fmt_out ${CMAKE_CURRENT_BINARY_DIR}/exec_fortfmt)
  set(_fmt_cases ${_fmt_src}/fortfmt_cases.txt)
  target_compile_definitions(${ZEPH_TEST_PROGRAM} PRIVATE ZEPH_FORTFMT_CASES="${_fmt_cases}")
  find_program(ZEPH_GFORTRAN NAMES gfortran)
  if(ZEPH_GFORTRAN)
    add_executable(exec_fortfmt_gen ${_fmt_src}/fortfmt_gen.cpp)
    target_include_directories(exec_fortfmt_gen PRIVATE ${_fmt_src})
    add_custom_command(
      OUTPUT ${_fmt_out}/fortfmt_reference.f90
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_fmt_out}
      COMMAND exec_fortfmt_gen ${_fmt_cases} ${_fmt_out}/fortfmt_reference.f90
      DEPENDS exec_fortfmt_gen ${_fmt_cases}
      COMMENT "Generating the Fortran formatter reference program")
    add_custom_command(
      OUTPUT ${_fmt_out}/fortfmt_reference
      COMMAND ${ZEPH_GFORTRAN} -O0 -ffree-line-length-none -o ${_fmt_out}/fortfmt_reference
              ${_fmt_out}/fortfmt_reference.f90
      DEPENDS ${_fmt_out}/fortfmt_reference.f90
      COMMENT "Compiling the Fortran formatter reference program")
    add_custom_command(
      OUTPUT ${_fmt_out}/fortfmt_expected.txt
      COMMAND ${_fmt_out}/fortfmt_reference ${_fmt_out}/fortfmt_expected.txt
      DEPENDS ${_fmt_out}/fortfmt_reference
      COMMENT "Writing the Fortran formatter reference output")
    add_custom_target(exec_fortfmt_reference DEPENDS ${_fmt_out}/fortfmt_expected.txt)
    add_dependencies(${ZEPH_TEST_PROGRAM} exec_fortfmt_reference)
    target_compile_definitions(${ZEPH_TEST_PROGRAM} PRIVATE
      ZEPH_FORTFMT_EXPECTED="${_fmt_out}/fortfmt_expected.txt")
  else()
    message(STATUS "gfortran not found: the formatter reference comparison is skipped")
  endif()
endif()
