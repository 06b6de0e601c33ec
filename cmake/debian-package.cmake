# The install layout of Linux and its Debian package (cpack -G DEB in the
# build folder): the programs, gzipped man pages, and the Debian copyright
# and changelog under share/doc/irtick, all as Debian policy places them.

install(TARGETS ${IRTICK_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# gzip -9n: the best compression, and no name or time stamp in the
# archive, so the same page always gives the same bytes.
find_program(IRTICK_GZIP gzip REQUIRED)
set(IRTICK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/irtick)
set(gzipped)
function(irtick_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${IRTICK_GZIP} -9n -c ${input} > ${output}
    DEPENDS ${input} VERBATIM)
endfunction()
foreach(page ${IRTICK_MAN_PAGES})
  set(pageGz ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
  irtick_gzip(${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1 ${pageGz})
  list(APPEND gzipped ${pageGz})
  install(FILES ${pageGz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(changelogGz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
irtick_gzip(${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog ${changelogGz})
list(APPEND gzipped ${changelogGz})
add_custom_target(irtick_gzipped_docs ALL DEPENDS ${gzipped})
install(FILES ${changelogGz} packaging/debian/copyright DESTINATION ${IRTICK_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The lines after the summary (CPACK_PACKAGE_DESCRIPTION_SUMMARY); CPack
# indents them for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "irtick powers an infrared receiver from the RTS and DTR lines of a serial
port and prints, as they arrive, the intervals between the infrared bursts
it sees, in ticks of 64 us, in microseconds or as raw bytes for a
recording.  It decodes NEC and Sony (SIRC) codes from the same stream.
Single keys add line breaks or end the run.
.
irtick-sim plays a receiver on a pseudo-terminal, from a script of
button presses or a recorded byte stream, to try irtick without
hardware.
.
irtick-analyze tells which remote a capture or a live receiver comes from:
it decodes NEC, Samsung32, JVC, LG, Kaseikyo, Sharp, Sony, RC5 and RC6
frames with their addresses, commands and repeats, as text, JSON Lines or
a simulator script, and shows an interval histogram of unknown remotes.")
