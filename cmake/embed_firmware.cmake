# Runs qelisp-mkimage for image/: the firmware's model and version come from
# the files the configure step wrote, not from the build's command line,
# where CMake would split a text at ';' and expand '$<...>' in it, and Ninja
# would take '$(' for its own.
#
#   cmake -D MKIMAGE=TOOL -D HEX=FILE -D MODEL_FILE=FILE -D VERSION_FILE=FILE
#         -D OUTPUT=FILE.cpp -P cmake/embed_firmware.cmake
cmake_policy(VERSION 3.25)
file(READ "${MODEL_FILE}" model)
file(READ "${VERSION_FILE}" version)
execute_process(
  COMMAND "${MKIMAGE}" --hex "${HEX}" --model "${model}" --version "${version}" --output "${OUTPUT}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "qelisp-mkimage did not embed ${HEX} (${status})")
endif()
