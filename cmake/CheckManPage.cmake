# cmake -DPROGRAM=<executable> -DMANPAGE=<page.1> -P CheckManPage.cmake
#
# Fails unless the manual page describes every option that the program's
# --help lists and names the version that its --version prints, so that the
# page cannot fall behind the program.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --version failed: ${status}")
endif()

file(READ ${MANPAGE} page)
# troff writes a minus sign as \-.
string(REPLACE "\\-" "-" page "${page}")

# Option lines of the help are indented and start with a dash.
string(REGEX MATCHALL "\n[ ]+-[^\n]*" option_lines "\n${help}")
set(options)
foreach(line IN LISTS option_lines)
  string(REGEX REPLACE "^\n[ ]+" "" line "${line}")
  # The option names come before the two spaces that start the description.
  string(REGEX REPLACE "  .*" "" names "${line}")
  string(REGEX MATCHALL "--?[a-zA-Z][-a-zA-Z]*" found "${names}")
  list(APPEND options ${found})
endforeach()
if(NOT options)
  message(FATAL_ERROR "${PROGRAM} --help lists no options")
endif()

set(missing)
foreach(option IN LISTS options)
  string(FIND "${page}" "${option}" at)
  if(at EQUAL -1)
    list(APPEND missing ${option})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${MANPAGE} does not describe: ${missing}")
endif()

string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" number "${version}")
string(REGEX MATCH "\n\\.TH [^\n]*" title "\n${page}")
string(FIND "${title}" "${number}" at)
if(NOT number OR at EQUAL -1)
  message(FATAL_ERROR "${MANPAGE} names another version than ${PROGRAM} ${number}")
endif()
message(STATUS "${MANPAGE}: ${options}, version ${number}")
