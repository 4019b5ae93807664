# Finds libdeflate's library and header: LIBDEFLATE_LIBRARY, LIBDEFLATE_INCLUDE_DIR
# and libdeflate_FOUND. A find module (rather than bare find_* calls) so that
# CMAKE_DISABLE_FIND_PACKAGE_libdeflate can build as if it were absent.
find_library(LIBDEFLATE_LIBRARY NAMES deflate)
find_path(LIBDEFLATE_INCLUDE_DIR NAMES libdeflate.h)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(libdeflate REQUIRED_VARS LIBDEFLATE_LIBRARY LIBDEFLATE_INCLUDE_DIR)
mark_as_advanced(LIBDEFLATE_LIBRARY LIBDEFLATE_INCLUDE_DIR)
