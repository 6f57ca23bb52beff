# The Windows tree (cross-built with cmake/mingw-x86_64.cmake): kavrel.dll, its
# import libraries, the tests that run under Wine, and the zip.

# kavrel.dll exports exactly the functions the public header declares: the
# module definition is made from the header's KAVREL_API lines.
set(KAVREL_HEADER ${PROJECT_SOURCE_DIR}/driver/kavrel.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KAVREL_HEADER})
file(STRINGS ${KAVREL_HEADER} kavrel_declarations REGEX "^KAVREL_API")
set(kavrel_def "LIBRARY kavrel.dll\nEXPORTS\n")
foreach(line IN LISTS kavrel_declarations)
  if(line MATCHES "(kavrel_[A-Za-z0-9_]+)\\(")
    string(APPEND kavrel_def "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
set(KAVREL_DEF ${CMAKE_BINARY_DIR}/kavrel.def)
file(CONFIGURE OUTPUT ${KAVREL_DEF} CONTENT "${kavrel_def}")

enable_language(RC)
configure_file(cmake/kavrel.rc.in ${CMAKE_BINARY_DIR}/kavrel.rc @ONLY)
add_library(kavrel SHARED $<TARGET_OBJECTS:kavrel_objects> ${KAVREL_DEF} ${CMAKE_BINARY_DIR}/kavrel.rc)
set_target_properties(kavrel PROPERTIES
  PREFIX ""
  PUBLIC_HEADER "driver/kavrel.h;driver/kavrel_visatype.h"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
target_include_directories(kavrel
  PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/driver> $<INSTALL_INTERFACE:include>
  PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(kavrel PRIVATE Threads::Threads)
target_link_options(kavrel PRIVATE -Wl,--no-undefined)

# An import library for other linkers than MinGW's, made from the same definition.
find_program(KAVREL_DLLTOOL ${KAVREL_MINGW_TRIPLE}-dlltool)
if(KAVREL_DLLTOOL)
  add_custom_command(TARGET kavrel POST_BUILD
    COMMAND ${KAVREL_DLLTOOL} -d ${KAVREL_DEF} -D kavrel.dll -l ${CMAKE_BINARY_DIR}/lib/kavrel.lib
    VERBATIM)
  install(FILES ${CMAKE_BINARY_DIR}/lib/kavrel.lib ${KAVREL_DEF} DESTINATION lib)
endif()

install(TARGETS kavrel
  RUNTIME DESTINATION bin
  ARCHIVE DESTINATION lib
  PUBLIC_HEADER DESTINATION include)

# The stand-in as visa32.dll, the simulator and the program, from the same sources.
foreach(dir testbed/visa testbed/sim tools)
  add_subdirectory(${dir})
endforeach()

if(KAVREL_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()

include(cmake/windows_package.cmake)
