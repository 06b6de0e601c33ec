# Writes a text file for Windows readers: CR LF line ends.  With
# GROFF set, INPUT is a man page, rendered as plain text first.
#   cmake -DINPUT=... -DOUTPUT=... [-DGROFF=/usr/bin/groff] -P windows-text.cmake
if(GROFF)
  # UTF-8 text (the pages use µ) without overstriking (-c, -b, -o, -u):
  # plain characters only.
  execute_process(COMMAND "${GROFF}" -man -Tutf8 -P-cbou "${INPUT}"
    OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "groff could not render ${INPUT}: ${result}")
  endif()
else()
  file(READ "${INPUT}" text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
