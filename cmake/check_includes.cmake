# Refuses any include whose path climbs with "..": cmake -DROOT=<source tree> -DSTAMP=<file> -P.
#
# Each layer compiles against a folder of links to its own folder and the ones below it, so an
# upward include by the path from src/ names a file that is not there. A path with ".." goes
# round that: a quoted include is looked up beside the including file first, and a link's
# parent is the real src/, so "../app/startup.h" or "dictionary/../app/startup.h" would find
# the file. Every include is written from src/ (or from its own test folder) and never climbs.
# On success the stamp file is touched, so the check runs again only when a source changes.
file(GLOB_RECURSE sources
     ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/src/*.inc
     ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
     ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h
     ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h)
set(offences)
foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        # ".." as a whole component of the named path: at its start, or after a "/" or "\".
        if(line MATCHES "[\"<]([^\">]*[/\\\\])?\\.\\.([/\\\\][^\">]*)?[\">]")
            file(RELATIVE_PATH name ${ROOT} ${source})
            string(STRIP "${line}" line)
            list(APPEND offences "  ${name}: ${line}")
        endif()
    endforeach()
endforeach()
if(offences)
    list(JOIN offences "\n" listing)
    message(FATAL_ERROR "An include climbs with \"..\"; write it by its path from src/ instead:\n"
                        "${listing}")
endif()
file(TOUCH ${STAMP})
