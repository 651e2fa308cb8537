# Writes the manual page of a program whose --help text is already laid out
# as one: headings in capitals at the margin, their text indented. The text is
# kept line for line (no refilling), so its tables and examples stay aligned.
#   cmake -DPROGRAM=path -DNAME=name -DOUTPUT=file.1 -P manual_from_help.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
string(TOUPPER ${NAME} title)
set(page ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"\n")
string(REPLACE "\\" "\\e" help "${help}")
# A semicolon would split the list of lines below; it is put back at the end.
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
foreach(line IN LISTS lines)
  if(line MATCHES "^[A-Z][A-Z ]*$")
    string(APPEND page ".SH ${line}\n.nf\n")
  else()
    if(line MATCHES "^    (.*)$")
      set(line "${CMAKE_MATCH_1}")
    endif()
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" line "${line}")
    string(APPEND page "${line}\n")
  endif()
endforeach()
string(REPLACE "<semicolon>" ";" page "${page}")
file(WRITE ${OUTPUT} "${page}")
