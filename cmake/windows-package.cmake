# The Windows zip (cpack -G ZIP in the Windows build folder):
# irtick-<version>-win64.zip with the programs, README.txt and LICENSE.txt,
# and the man pages as text, all with CR LF line ends for Windows readers.

install(TARGETS ${IRTICK_PROGRAMS} RUNTIME DESTINATION .)

set(textDir ${CMAKE_CURRENT_BINARY_DIR}/windows-text)
set(texts)
function(irtick_windows_text input output)
  cmake_parse_arguments(PARSE_ARGV 2 text "" "GROFF" "")
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DGROFF=${text_GROFF}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake VERBATIM)
endfunction()
irtick_windows_text(${PROJECT_SOURCE_DIR}/README.md ${textDir}/README.txt)
irtick_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${textDir}/LICENSE.txt)
install(FILES ${textDir}/README.txt ${textDir}/LICENSE.txt DESTINATION .)
list(APPEND texts ${textDir}/README.txt ${textDir}/LICENSE.txt)

# The man pages rendered by groff on the build machine (groff-base).
find_program(IRTICK_GROFF groff)
if(IRTICK_GROFF)
  foreach(page ${IRTICK_MAN_PAGES})
    irtick_windows_text(${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1 ${textDir}/${page}.txt
      GROFF ${IRTICK_GROFF})
    install(FILES ${textDir}/${page}.txt DESTINATION man)
    list(APPEND texts ${textDir}/${page}.txt)
  endforeach()
else()
  message(WARNING "groff not found: the zip gets no man pages (apt-get install groff-base)")
endif()
add_custom_target(irtick_windows_texts ALL DEPENDS ${texts})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
