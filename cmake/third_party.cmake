# CLI11 (command lines) and nlohmann/json (JSON), both header-only, from
# Debian's libcli11-dev and nlohmann-json3-dev in /usr/include. The Windows
# cross build must not see the rest of /usr/include (glibc's headers would
# shadow mingw's), so it gets a folder of its own holding only these two.
add_library(qelisp_third_party INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(qelisp_third_party_dir ${CMAKE_BINARY_DIR}/third-party)
  file(MAKE_DIRECTORY ${qelisp_third_party_dir})
  foreach(header_dir CLI nlohmann)
    if(NOT IS_DIRECTORY /usr/include/${header_dir})
      message(FATAL_ERROR "/usr/include/${header_dir} is missing: scripts/setup installs libcli11-dev and nlohmann-json3-dev")
    endif()
    file(CREATE_LINK /usr/include/${header_dir} ${qelisp_third_party_dir}/${header_dir} SYMBOLIC)
  endforeach()
  target_include_directories(qelisp_third_party SYSTEM INTERFACE ${qelisp_third_party_dir})
else()
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json CONFIG REQUIRED)
  target_link_libraries(qelisp_third_party INTERFACE CLI11::CLI11 nlohmann_json::nlohmann_json)
endif()
