# Fails when a text that the window or start-up translates has no finished English translation:
# lupdate is run over the sources into a copy of the committed .ts, so a text added to the sources
# but not to the .ts shows up as unfinished there, as does one whose translation was never done.
#   cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder> -P check.cmake
set(ts ${SOURCE_DIR}/translations/m4500-config_en.ts)
set(copy ${WORK_DIR}/m4500-config_en.ts)
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY_FILE ${ts} ${copy})
file(GLOB sources ${SOURCE_DIR}/src/site/*.cpp ${SOURCE_DIR}/src/site/*.h ${SOURCE_DIR}/src/serial/*.cpp ${SOURCE_DIR}/src/serial/*.h
     ${SOURCE_DIR}/src/device/*.cpp ${SOURCE_DIR}/src/device/*.h ${SOURCE_DIR}/src/ui/*.cpp
     ${SOURCE_DIR}/src/ui/*.h ${SOURCE_DIR}/src/app/*.cpp ${SOURCE_DIR}/src/app/*.h)
execute_process(
    COMMAND ${LUPDATE} ${sources} -no-obsolete -locations none -source-language zh_CN -ts ${copy}
    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
    message(FATAL_ERROR "lupdate failed:\n${out}")
endif()
file(READ ${copy} updated)
string(REGEX MATCHALL "<source>[^<]*</source>[ \t\r\n]*<translation type=\"unfinished\">"
       unfinished "${updated}")
string(REGEX MATCHALL "<translation></translation>" empty "${updated}")
list(LENGTH unfinished count)
list(LENGTH empty empty_count)
string(REGEX MATCHALL "<source>" all "${updated}")
list(LENGTH all total)
if(count GREATER 0 OR empty_count GREATER 0)
    string(REGEX REPLACE "<source>([^<]*)</source>[^;]*" "    \\1" listed "${unfinished}")
    string(REPLACE ";" "\n" listed "${listed}")
    message(FATAL_ERROR "${count} of ${total} texts have no finished English translation, "
            "${empty_count} an empty one (update with the target update_translations, then "
            "translate in ${ts}):\n${listed}")
endif()
message(STATUS "all ${total} texts of the window, start-up and the transfers have a finished English translation")
