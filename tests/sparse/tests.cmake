# Reference solvers of the sparse tests: CHOLMOD from Debian's SuiteSparse.
find_library(ZEPH_CHOLMOD_LIBRARY cholmod)
find_path(ZEPH_SUITESPARSE_INCLUDE cholmod.h PATH_SUFFIXES suitesparse)
foreach(_t sparse_order_test sparse_symbolic_test)
  if(TARGET ${_t})
    target_link_libraries(${_t} PRIVATE ${ZEPH_CHOLMOD_LIBRARY})
    target_include_directories(${_t} PRIVATE ${ZEPH_SUITESPARSE_INCLUDE})
  endif()
endforeach()

# The dense kernels' tests count inertia from LAPACK's eigenvalues.
find_library(ZEPH_LAPACK_LIBRARY lapack)
if(TARGET sparse_kernels_test)
  target_link_libraries(sparse_kernels_test PRIVATE ${ZEPH_LAPACK_LIBRARY})
endif()

# The factorisation's tests: CHOLMOD's solutions, LAPACK's condition numbers.
if(TARGET sparse_factor_test)
  target_link_libraries(sparse_factor_test PRIVATE ${ZEPH_CHOLMOD_LIBRARY} ${ZEPH_LAPACK_LIBRARY})
  target_include_directories(sparse_factor_test PRIVATE ${ZEPH_SUITESPARSE_INCLUDE})
endif()

# The minimum-degree ordering's fill against AMD's (SuiteSparse).
find_library(ZEPH_AMD_LIBRARY amd)
if(TARGET sparse_mindeg_test)
  target_link_libraries(sparse_mindeg_test PRIVATE ${ZEPH_AMD_LIBRARY} ${ZEPH_CHOLMOD_LIBRARY})
  target_include_directories(sparse_mindeg_test PRIVATE ${ZEPH_SUITESPARSE_INCLUDE})
endif()

# The LU path's solutions against UMFPACK's (SuiteSparse).
find_library(ZEPH_UMFPACK_LIBRARY umfpack)
if(TARGET sparse_lu_test)
  target_link_libraries(sparse_lu_test PRIVATE ${ZEPH_UMFPACK_LIBRARY})
  target_include_directories(sparse_lu_test PRIVATE ${ZEPH_SUITESPARSE_INCLUDE})
endif()
