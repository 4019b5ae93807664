# The DEFLATE library of the core, as the interface target callfold_deflate:
# libdeflate when it is installed (whole-block calls, much faster BGZF), zlib
# otherwise. Needs ZLIB::ZLIB. -DCALLFOLD_USE_LIBDEFLATE=OFF forces zlib.
option(CALLFOLD_USE_LIBDEFLATE "Compress and inflate BGZF blocks with libdeflate when it is installed" ON)

add_library(callfold_deflate INTERFACE)
target_link_libraries(callfold_deflate INTERFACE ZLIB::ZLIB)

if (CALLFOLD_USE_LIBDEFLATE)
  list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
  find_package(libdeflate MODULE QUIET)
endif()

if (libdeflate_FOUND)
  target_include_directories(callfold_deflate INTERFACE ${LIBDEFLATE_INCLUDE_DIR})
  target_link_libraries(callfold_deflate INTERFACE ${LIBDEFLATE_LIBRARY})
  target_compile_definitions(callfold_deflate INTERFACE CALLFOLD_HAVE_LIBDEFLATE)
  message(STATUS "Callfold compresses BGZF with libdeflate (${LIBDEFLATE_LIBRARY})")
elseif (CALLFOLD_USE_LIBDEFLATE)
  message(STATUS "Callfold compresses BGZF with zlib: libdeflate not found; "
                 "installing it (Debian: libdeflate-dev) makes compressing and reading faster")
else()
  message(STATUS "Callfold compresses BGZF with zlib (CALLFOLD_USE_LIBDEFLATE=OFF); libdeflate would be faster")
endif()
