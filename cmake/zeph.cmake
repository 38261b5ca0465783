# One library target per subsystem directory: every .cpp file in the
# directory belongs to it. A directory without sources yet gives an
# interface target, so that the link lines stay the same as files arrive.
function(zeph_subsystem name)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_src)
    add_library(zeph_${name} STATIC ${_src})
    target_include_directories(zeph_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(zeph_${name} PUBLIC ${ARGN})
  else()
    add_library(zeph_${name} INTERFACE)
    target_include_directories(zeph_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(zeph_${name} INTERFACE ${ARGN})
  endif()
endfunction()
