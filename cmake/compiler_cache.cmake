# Each compile goes through ccache when it is installed: the test run builds
# the same sources five times over (linux, asan, tsan, windows and a maker's
# package), and a machine that builds them again, commit after commit, then
# compiles only what changed. -DQELISP_CCACHE=OFF, or a launcher of one's
# own, leaves the compiler alone.
option(QELISP_CCACHE "Compile through ccache when it is installed" ON)
if(QELISP_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(QELISP_CCACHE_PROGRAM ccache)
  if(QELISP_CCACHE_PROGRAM)
    # The tests read GoogleTest from a precompiled header, which ccache
    # takes only when told that its defines and time macros may be trusted.
    # Paths count from the source folder, so that another checkout of the
    # same commit (a CI clone) finds the same entries; the objects hold no
    # build path anyway (cmake/reproducible.cmake maps them away).
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_SLOPPINESS=pch_defines,time_macros CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
        CCACHE_NOHASHDIR=1 ${QELISP_CCACHE_PROGRAM})
  endif()
endif()
