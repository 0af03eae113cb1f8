# `cmake --build <dir> --target docs` writes the API reference from the
# installed headers into <dir>/docs/html; an undocumented public name fails it.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  add_custom_target(docs COMMAND ${CMAKE_COMMAND} -E echo "docs: install doxygen (Debian: doxygen)" COMMAND false)
  return()
endif()
get_target_property(headers trellis HEADER_SET)
get_target_property(version_header trellis HEADER_SET_version_header)
list(JOIN headers " " TRELLIS_DOCS_INPUT)
string(APPEND TRELLIS_DOCS_INPUT " ${version_header}")
set(TRELLIS_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
configure_file(docs/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
add_custom_target(docs
  COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "API reference in ${TRELLIS_DOCS_DIR}/html"
  VERBATIM)
