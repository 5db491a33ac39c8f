# The Linux programs get the hardening Debian builds its own packages with:
# checked string and memory calls where the compiler can bound them
# (_FORTIFY_SOURCE, optimised builds only), a stack protector, and a
# read-only relocation table after start-up (RELRO with immediate binding).
# Not for the sanitizer builds, which check more and do not mix with it, and
# not for the mingw build, whose fortified calls need a library of their own.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  return()
endif()

add_compile_options(
  "$<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CONFIG:Release,RelWithDebInfo,MinSizeRel>>:-D_FORTIFY_SOURCE=2>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>")
add_link_options(-Wl,-z,relro -Wl,-z,now)
