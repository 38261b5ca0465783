# The principal-value tests compare the printed values with LAPACK's eigenvalues.
find_library(ZEPH_LAPACK_LIBRARY lapack)
if(TARGET ${ZEPH_TEST_PROGRAM})
  target_link_libraries(${ZEPH_TEST_PROGRAM} PRIVATE ${ZEPH_LAPACK_LIBRARY})
endif()
