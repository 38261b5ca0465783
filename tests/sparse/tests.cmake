# Reference solvers and kernels of the sparse tests, linked into the test
# program only: CHOLMOD, AMD and UMFPACK from Debian's SuiteSparse (orderings,
# symbolic counts, solutions, the minimum-degree fill, the LU path) and
# LAPACK (inertia from eigenvalues, condition numbers).
find_library(ZEPH_CHOLMOD_LIBRARY cholmod)
find_library(ZEPH_AMD_LIBRARY amd)
find_library(ZEPH_UMFPACK_LIBRARY umfpack)
find_library(ZEPH_LAPACK_LIBRARY lapack)
find_path(ZEPH_SUITESPARSE_INCLUDE cholmod.h PATH_SUFFIXES suitesparse)
target_link_libraries(${ZEPH_TEST_PROGRAM} PRIVATE
  ${ZEPH_CHOLMOD_LIBRARY} ${ZEPH_AMD_LIBRARY} ${ZEPH_UMFPACK_LIBRARY} ${ZEPH_LAPACK_LIBRARY})
target_include_directories(${ZEPH_TEST_PROGRAM} PRIVATE ${ZEPH_SUITESPARSE_INCLUDE})
