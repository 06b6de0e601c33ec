# Builds the Debian package into OUT and runs lintian on it: any error
# (E:) or warning (W:) fails.
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${CONFIG}" -B "${OUT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE cpackOutput ERROR_VARIABLE cpackOutput)
file(GLOB debs "${OUT}/*.deb")
if(NOT result EQUAL 0 OR NOT debs)
  message(FATAL_ERROR "cpack -G DEB failed (${result}):\n${cpackOutput}")
endif()
execute_process(COMMAND "${LINTIAN}" --no-tag-display-limit ${debs}
  RESULT_VARIABLE result OUTPUT_VARIABLE report ERROR_VARIABLE lintianErrors)
message("${report}")
if(report MATCHES "(^|\n)[EW]: " OR NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors or warnings (status ${result}):\n${report}${lintianErrors}")
endif()
file(REMOVE_RECURSE "${OUT}")
