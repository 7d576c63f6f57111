# Writes OUT (a gzipped manual page) from TOOL's --help and --version with help2man. TOOL is run
# by name from BIN_DIR on PATH, so the page's usage line shows the name, not the build folder.
# cmake -DHELP2MAN=... -DBIN_DIR=... -DTOOL=... -DNAME=... -DOUT=... -P manpage.cmake
set(ENV{PATH} "${BIN_DIR}:$ENV{PATH}")
string(REGEX REPLACE "\\.gz$" "" roff "${OUT}")
execute_process(
    COMMAND ${HELP2MAN} --no-info --locale=C.UTF-8 --section=1 --name=${NAME}
            --output=${roff} ${TOOL}
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "help2man ${TOOL} failed (${rc})")
endif()
execute_process(COMMAND gzip -9nf ${roff} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${roff} failed (${rc})")
endif()
