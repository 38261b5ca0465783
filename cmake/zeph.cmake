# One library target per subsystem directory: every .cpp file in the
# directory belongs to it. A directory without sources yet gives an
# interface target, so that the link lines stay the same as files arrive.
#
# The arguments after the name are the libraries below it. The build proves
# that they are all it needs: a small program links the whole library (every
# object, not only those a caller pulls in) against them alone, so a call
# into a library not listed, or one above it, fails the build.
set(ZEPH_LINK_CHECK_MAIN ${CMAKE_BINARY_DIR}/zeph_link_check.cpp)
file(WRITE ${ZEPH_LINK_CHECK_MAIN} "int main() { return 0; }\n")

function(zeph_subsystem name)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_src)
    add_library(zeph_${name} STATIC ${_src})
    target_include_directories(zeph_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(zeph_${name} PUBLIC ${ARGN})
    add_executable(zeph_${name}_link_check ${ZEPH_LINK_CHECK_MAIN})
    target_link_libraries(zeph_${name}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,zeph_${name}>")
  else()
    add_library(zeph_${name} INTERFACE)
    target_include_directories(zeph_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(zeph_${name} INTERFACE ${ARGN})
  endif()
endfunction()
