# Writes SITE/index.html and SITE/style.css from their sources in SOURCE,
# with the form in them as TOOL (form_markup, run by EMULATOR, "|" between
# its words) writes it, and VERSION as the build's version text.
string(REPLACE "|" ";" emulator "${EMULATOR}")
foreach(part IN ITEMS html css)
  execute_process(COMMAND ${emulator} ${TOOL} ${part}
    OUTPUT_VARIABLE form_${part}
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR form_${part} STREQUAL "")
    message(FATAL_ERROR "${TOOL} ${part} failed: ${status}")
  endif()
endforeach()
set(ZAPWIT_FORM_MARKUP "${form_html}")
set(ZAPWIT_FORM_PLACES "${form_css}")
set(ZAPWIT_WEB_VERSION "${VERSION}")
configure_file(${SOURCE}/index.html ${SITE}/index.html @ONLY)
configure_file(${SOURCE}/style.css ${SITE}/style.css @ONLY)
