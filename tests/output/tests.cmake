# The principal-value tests compare the printed values with LAPACK's eigenvalues.
find_library(ZEPH_LAPACK_LIBRARY lapack)
if(TARGET output_principal_test)
  target_link_libraries(output_principal_test PRIVATE ${ZEPH_LAPACK_LIBRARY})
endif()
