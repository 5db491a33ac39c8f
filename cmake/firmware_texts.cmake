# The firmware's model and version texts: checked when the build is
# configured, before anything compiles, by the rule qelisp-mkimage applies
# (1 to 15 printable ASCII characters). scripts/package checks them the same
# way before it configures; scripts/test-package-texts holds the two and the
# tool to one verdict.
#
# Also refused: a text that begins and ends with '. CMake's cache keeps it,
# but gives it back without those quotes when the build is configured again.
#
# Run as a script, it checks the text in a file:
#   cmake -D NAME=QELISP_MODEL -D TEXT_FILE=FILE -P cmake/firmware_texts.cmake
cmake_policy(VERSION 3.25)

# Sets `out` to why `text` cannot be the firmware's `name` text, or to "".
function(qelisp_firmware_text_problem out name text)
  set(problem "")
  string(LENGTH "${text}" length)
  string(REGEX MATCH "[^ -~]" bad "${text}")
  if(length EQUAL 0)
    set(problem "${name} is empty; 1 to 15 characters fit")
  elseif(NOT bad STREQUAL "")
    string(FIND "${text}" "${bad}" at)
    math(EXPR at "${at} + 1")
    string(HEX "${bad}" code)
    string(TOUPPER "${code}" code)
    set(problem "${name}: character ${at} is 0x${code}; only printable ASCII (0x20 to 0x7E) fits the image")
  elseif(length GREATER 15)
    set(problem "${name} \"${text}\" is ${length} characters long; 1 to 15 fit")
  elseif(length GREATER 1 AND text MATCHES "^'.*'$")
    set(problem "${name} \"${text}\" begins and ends with ', which CMake's cache drops when it is read again")
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Stops the configure step when the cache variable `name` cannot be embedded.
function(qelisp_check_firmware_text name)
  qelisp_firmware_text_problem(problem ${name} "${${name}}")
  if(NOT problem STREQUAL "")
    message(FATAL_ERROR "${problem}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  file(READ "${TEXT_FILE}" qelisp_text)
  qelisp_firmware_text_problem(problem "${NAME}" "${qelisp_text}")
  if(NOT problem STREQUAL "")
    message(FATAL_ERROR "${problem}")
  endif()
endif()
