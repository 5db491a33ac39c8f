# The same sources give the same bytes wherever and whenever they are built,
# so a package can be checked against its commit:
# - no build paths in the objects: file names in debug information and
#   __FILE__ are written relative to the source tree ("./cli/main.cpp") and
#   the build tree ("build/image/embedded_image.cpp"). GCC applies the last
#   matching map first, so the build tree, which lies inside the source tree,
#   comes last;
# - no dates: -Wdate-time (cmake/warnings.cmake) refuses __DATE__ and __TIME__;
# - static libraries without timestamps, owners or modes (ar D);
# - Windows executables without the link time in their PE header.
if(MSVC)
  return()
endif()

add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")

foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

if(MINGW)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
