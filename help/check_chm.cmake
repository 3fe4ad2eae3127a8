# Checks a compiled help file:
#   cmake -DCHM=<file.chm> "-DPAGES=<page;...>"
#         [-DEXTRACT=<extract_chmLib> -DICONV=<iconv> -DWORK=<dir>] -P check_chm.cmake
# A CHM begins with the signature "ITSF", and its directory stores every file's name
# uncompressed as "/<name>", so each page's name must occur among the file's text runs. With
# libchm's extractor at hand, every page is also taken out again, turned back from
# Windows-1251 into UTF-8, and compared byte for byte with its source.
if(NOT EXISTS "${CHM}")
    message(FATAL_ERROR "Help file missing: ${CHM}")
endif()
file(READ "${CHM}" signature LIMIT 4 HEX)
string(HEX "ITSF" itsf)
if(NOT signature STREQUAL itsf)
    message(FATAL_ERROR "Not a CHM file (no ITSF signature): ${CHM}")
endif()
file(STRINGS "${CHM}" text_runs)
foreach(page ${PAGES})
    get_filename_component(name "${page}" NAME)
    string(FIND "${text_runs}" "/${name}" at)
    if(at LESS 0)
        message(FATAL_ERROR "Page ${name} is not in the directory of ${CHM}")
    endif()
endforeach()

if(EXTRACT)
    file(REMOVE_RECURSE "${WORK}")
    execute_process(COMMAND "${EXTRACT}" "${CHM}" "${WORK}" RESULT_VARIABLE failed
                    OUTPUT_QUIET)
    if(failed)
        message(FATAL_ERROR "${EXTRACT} could not read ${CHM}")
    endif()
    foreach(page ${PAGES})
        get_filename_component(name "${page}" NAME)
        execute_process(COMMAND "${ICONV}" -f CP1251 -t UTF-8 "${WORK}/${name}"
                        OUTPUT_VARIABLE text RESULT_VARIABLE failed)
        string(REPLACE "charset=windows-1251" "charset=utf-8" text "${text}")
        file(READ "${page}" expected)
        if(failed OR NOT text STREQUAL expected)
            message(FATAL_ERROR "Page ${name} comes out of ${CHM} changed or not at all")
        endif()
    endforeach()
endif()
list(LENGTH PAGES count)
message(STATUS "${CHM}: ITSF, all ${count} pages present")
