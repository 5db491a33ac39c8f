# Tools that run during the build must run on the build machine. In a cross
# build, qelisp-mkimage is built a second time, from this same source tree, by
# the host's own compiler in a nested build directory; only that one target is
# built there, with tests and benchmarks off.
#
# Sets QELISP_MKIMAGE_COMMAND (what to run) and QELISP_MKIMAGE_DEPENDS (what
# the generated image source depends on).
#
# A host qelisp-mkimage built elsewhere (for example by the linux preset) can be
# named with -DQELISP_HOST_MKIMAGE=path to skip the nested build.
set(QELISP_HOST_MKIMAGE "" CACHE FILEPATH
    "qelisp-mkimage for the build machine; empty: build one in the build tree")

if(QELISP_HOST_MKIMAGE)
  set(QELISP_MKIMAGE_COMMAND ${QELISP_HOST_MKIMAGE})
  set(QELISP_MKIMAGE_DEPENDS ${QELISP_HOST_MKIMAGE})
  return()
endif()

include(ExternalProject)

set(qelisp_host_dir ${CMAKE_BINARY_DIR}/host-tools)
set(qelisp_host_mkimage
    ${qelisp_host_dir}/image/mkimage/qelisp-mkimage${CMAKE_HOST_EXECUTABLE_SUFFIX})

# With make, the nested build joins the outer one's job slots.
if(CMAKE_GENERATOR MATCHES "Make")
  set(qelisp_host_build $(MAKE) -C <BINARY_DIR> qelisp-mkimage)
else()
  set(qelisp_host_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target qelisp-mkimage)
endif()

# The nested configure must not inherit the cross toolchain: only plain
# settings are passed, so it finds the host's compilers by itself.
ExternalProject_Add(qelisp_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${qelisp_host_dir}
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=Release
    -DQELISP_BUILD_TESTS=OFF
    -DQELISP_BUILD_BENCH=OFF
    -DQELISP_WERROR=${QELISP_WERROR}
  BUILD_COMMAND ${qelisp_host_build}
  # Let the nested build decide whether mkimage's sources changed.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${qelisp_host_mkimage}
  INSTALL_COMMAND "")

set(QELISP_MKIMAGE_COMMAND ${qelisp_host_mkimage})
set(QELISP_MKIMAGE_DEPENDS qelisp_host_tools ${qelisp_host_mkimage})
