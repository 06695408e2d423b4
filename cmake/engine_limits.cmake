# The limits the engine programs were compiled with come from the engine
# build itself: engine/build.sh writes them beside the programs
# (orlex.limits, and vantrel.limits for the vantrel set) and this turns them
# into the generated header engine_limits.h, so the programs refuse what the
# engine cannot take without a second copy of the numbers.

function(orlex_read_engine_limits set prefix)
  set(file "${ORLEX_ENGINE_BIN_DIR}/${set}.limits")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR
      "${file} is missing: the engine programs in ${ORLEX_ENGINE_BIN_DIR} were built without "
      "their limits file. Build them with engine/build.sh (scripts/setup.sh does), then "
      "configure again.")
  endif()
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  file(STRINGS "${file}" lines REGEX "^[A-Za-z_]+=[0-9]+$")
  foreach(line ${lines})
    string(REGEX REPLACE "=.*" "" name "${line}")
    string(REGEX REPLACE ".*=" "" value "${line}")
    set(${prefix}_${name} "${value}" PARENT_SCOPE)
    set(${prefix}_${name} "${value}")
  endforeach()
  foreach(name maxall maxliab maxped maxind)
    if(NOT DEFINED ${prefix}_${name})
      message(FATAL_ERROR "${file} names no ${name}: build the engine again with engine/build.sh")
    endif()
  endforeach()
endfunction()

orlex_read_engine_limits(orlex ORLEX_ENGINE)
orlex_read_engine_limits(vantrel VANTREL_ENGINE)
set(ORLEX_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_SOURCE_DIR}/core/engine_limits.h.in"
               "${ORLEX_GENERATED_DIR}/engine_limits.h" @ONLY)
