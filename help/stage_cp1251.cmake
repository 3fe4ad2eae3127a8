# Writes UTF-8 help sources into a folder in Windows-1251, with a page's charset declaration
# changed to match:
#   cmake -DICONV=<iconv> -DDEST=<folder> "-DFILES=<file;...>" -P stage_cp1251.cmake
# A character that Windows-1251 cannot hold stops the build with the file's name.
file(MAKE_DIRECTORY "${DEST}")
foreach(source ${FILES})
    get_filename_component(name "${source}" NAME)
    file(READ "${source}" text)
    string(REPLACE "charset=utf-8" "charset=windows-1251" text "${text}")
    file(WRITE "${DEST}/${name}.utf-8" "${text}")
    execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP1251 "${DEST}/${name}.utf-8"
                    OUTPUT_FILE "${DEST}/${name}" RESULT_VARIABLE failed ERROR_VARIABLE error)
    file(REMOVE "${DEST}/${name}.utf-8")
    if(failed)
        message(FATAL_ERROR "${source}: ${error}"
                            "The help file is Windows-1251: use only characters it holds.")
    endif()
endforeach()
