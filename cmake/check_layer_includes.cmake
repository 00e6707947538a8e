# Run before each build of a layer library (cmake -DLAYER_FILE=... -DSTAMP=... -P this file):
# fails when one of the layer's sources includes a header from a folder the layer may not use,
# so an upward include never builds. LAYER_FILE sets LAYER, ALLOWED (folders) and SOURCES.
cmake_minimum_required(VERSION 3.25)
include(${LAYER_FILE})
set(problems)
foreach(source IN LISTS SOURCES)
  file(STRINGS ${source} lines REGEX "^#include \"[^\"]+\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    get_filename_component(folder "${header}" DIRECTORY)
    # A header without a folder is a generated one (version.h), open to every layer.
    if(NOT folder STREQUAL "" AND NOT folder IN_LIST ALLOWED)
      list(APPEND problems "${source}: the ${LAYER} layer may not include ${header}")
    endif()
  endforeach()
endforeach()
if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
file(TOUCH ${STAMP})
