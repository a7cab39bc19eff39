# The API reference: Doxygen over the headers that ship (their plain //
# comments, through docs/doxygen_filter.awk), built with the tree when Doxygen
# is at hand and installed with the development package. Doxygen's notes on
# undocumented members go to <build>/docs/warnings.log.
option(KVELL_DOCS "Build the API reference with Doxygen" ON)

function(kvell_add_api_docs)
  if(NOT KVELL_DOCS OR KVELL_SANITIZE OR KVELL_FUZZ)
    return()
  endif()
  find_package(Doxygen QUIET)
  if(NOT DOXYGEN_FOUND)
    message(STATUS "Doxygen not found: no API reference (scripts/setup installs it)")
    return()
  endif()
  get_property(libraries GLOBAL PROPERTY KVELL_INSTALLED_LIBRARIES)
  set(headers "")
  foreach(target ${libraries})
    get_target_property(files ${target} KVELL_PUBLIC_HEADER_FILES)
    if(files)
      list(APPEND headers ${files})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES headers)
  list(SORT headers)

  set(KVELL_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
  list(JOIN headers "\" \\\n    \"" KVELL_DOCS_INPUT)
  set(KVELL_DOCS_INPUT "\"${KVELL_DOCS_INPUT}\"")
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${KVELL_DOCS_DIR}/Doxyfile @ONLY)
  add_custom_command(OUTPUT ${KVELL_DOCS_DIR}/html/index.html
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${KVELL_DOCS_DIR}/html
    COMMAND Doxygen::doxygen ${KVELL_DOCS_DIR}/Doxyfile
    DEPENDS ${headers} ${KVELL_DOCS_DIR}/Doxyfile ${PROJECT_SOURCE_DIR}/docs/doxygen_filter.awk
    COMMENT "Generating the API reference"
    VERBATIM)
  add_custom_target(kvell_docs ALL DEPENDS ${KVELL_DOCS_DIR}/html/index.html)
  install(DIRECTORY ${KVELL_DOCS_DIR}/html/ DESTINATION ${KVELL_INSTALL_DOCDIR}/api COMPONENT dev)
endfunction()
