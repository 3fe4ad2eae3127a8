# The release history, kept in one file, packaging/releases: Debian changelog entries, newest
# first, of two kinds told apart by their version.
#
#   termovel (1.1) unstable; urgency=medium       a release of the program: its entry goes into
#                                                 changelog.gz and the AppStream metadata
#   termovel (1.1-1) unstable; urgency=medium     a Debian package of it (the number after "-"
#                                                 is the package release): changelog.Debian.gz
#
# A new release adds both entries at the top (and a new package of the same release only the
# second). Configuring reads the file and sets, for the packaging:
#   TERMOVEL_DEB_RELEASE          the release number of the newest package entry, whose version
#                                 must be the project version;
#   TERMOVEL_SOURCE_DATE_EPOCH    the newest package entry's date in seconds since 1970, the
#                                 time every file of the packages carries (as dpkg-buildpackage
#                                 takes it from debian/changelog);
#   TERMOVEL_APPSTREAM_RELEASES   the metadata's <release> elements, one per program release;
# and writes the two changelogs, <folder>/changelog and <folder>/changelog.Debian.
# Configuring stops, naming the line, at an entry that is not in the changelog format, at a
# date whose weekday is wrong, and when the newest release is not the project version.

# Seconds since 1970 of a changelog date ("Mon, 07 Dec 2026 12:00:00 +0000") into out, and the
# date as AppStream writes it (2026-12-07) into out_day. line names the entry for an error.
function(termovel_changelog_date text line out out_day)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    set(weekdays Thu Fri Sat Sun Mon Tue Wed)  # 1 January 1970 was a Thursday
    if(NOT text MATCHES
       "^([A-Z][a-z][a-z]), ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([+-][0-9][0-9][0-9][0-9])$")
        message(FATAL_ERROR "packaging/releases: '${line}': the date is not like "
                            "'Mon, 07 Dec 2026 12:00:00 +0000'")
    endif()
    set(weekday ${CMAKE_MATCH_1})
    set(month_name ${CMAKE_MATCH_3})
    set(year ${CMAKE_MATCH_4})
    set(zone ${CMAKE_MATCH_8})
    # Two-digit numbers without their leading zero, which math() would not take for decimal.
    set(numbers)
    foreach(number "${CMAKE_MATCH_2}" "${CMAKE_MATCH_5}" "${CMAKE_MATCH_6}" "${CMAKE_MATCH_7}")
        string(REGEX REPLACE "^0(.)" "\\1" number "${number}")
        list(APPEND numbers ${number})
    endforeach()
    list(GET numbers 0 day)
    list(GET numbers 1 hours)
    list(GET numbers 2 minutes)
    list(GET numbers 3 seconds)
    string(SUBSTRING "${zone}" 0 3 zone_hours)
    string(SUBSTRING "${zone}" 3 2 zone_minutes)
    string(REGEX REPLACE "^([+-])0" "\\1" zone_hours "${zone_hours}")
    string(REGEX REPLACE "^0" "" zone_minutes "${zone_minutes}")
    string(SUBSTRING "${zone}" 0 1 zone_sign)
    if(zone_minutes STREQUAL "")
        set(zone_minutes 0)
    endif()
    # The time of day in UTC; the zone's minutes take its sign.
    math(EXPR seconds "${hours} * 3600 + ${minutes} * 60 + ${seconds} - (${zone_hours}) * 3600 - (${zone_sign}${zone_minutes}) * 60")
    list(FIND months ${month_name} month)
    if(month LESS 0)
        message(FATAL_ERROR "packaging/releases: '${line}': no month ${month_name}")
    endif()
    math(EXPR month "${month} + 1")
    # Days since 1970 of a proleptic Gregorian date, counting years from March so that the leap
    # day comes last.
    set(y ${year})
    set(m ${month})
    if(m LESS_EQUAL 2)
        math(EXPR y "${y} - 1")
        math(EXPR m "${m} + 9")
    else()
        math(EXPR m "${m} - 3")
    endif()
    math(EXPR era "${y} / 400")
    math(EXPR yoe "${y} - ${era} * 400")
    math(EXPR doy "(153 * ${m} + 2) / 5 + ${day} - 1")
    math(EXPR days "${era} * 146097 + ${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy} - 719468")
    math(EXPR weekday_index "${days} % 7")
    list(GET weekdays ${weekday_index} expected_weekday)
    if(NOT weekday STREQUAL expected_weekday)
        message(FATAL_ERROR "packaging/releases: '${line}': that day is a ${expected_weekday}, "
                            "not a ${weekday}")
    endif()
    math(EXPR epoch "${days} * 86400 + ${seconds}")
    set(${out} ${epoch} PARENT_SCOPE)
    if(month LESS 10)
        set(month 0${month})
    endif()
    if(day LESS 10)
        set(day 0${day})
    endif()
    set(${out_day} ${year}-${month}-${day} PARENT_SCOPE)
endfunction()

# The text of an entry's items as AppStream markup: one item a paragraph, several a list.
function(termovel_appstream_description items out)
    list(LENGTH items count)
    set(xml)
    foreach(item IN LISTS items)
        string(REPLACE "&" "&amp;" item "${item}")
        string(REPLACE "<" "&lt;" item "${item}")
        string(REPLACE ">" "&gt;" item "${item}")
        if(count EQUAL 1)
            string(APPEND xml "        <p>${item}</p>\n")
        else()
            string(APPEND xml "          <li>${item}</li>\n")
        endif()
    endforeach()
    if(count GREATER 1)
        set(xml "        <ul>\n${xml}        </ul>\n")
    endif()
    set(${out} "${xml}" PARENT_SCOPE)
endfunction()

# Reads <source> (packaging/releases) and writes the changelogs into <folder>; sets the three
# variables above in the caller's scope.
function(termovel_read_releases source folder)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} content)
    # A semicolon would split CMake's lists of lines: it travels as a byte the file never holds.
    string(ASCII 1 semicolon)
    string(REPLACE ";" "${semicolon}" content "${content}")
    string(REGEX MATCHALL "[^\n]*\n" lines "${content}")

    set(program_log)
    set(debian_log)
    set(separator_program)  # a blank line between entries
    set(separator_debian)
    set(releases)
    set(version)     # of the entry being read
    set(entry)       # its lines so far
    set(items)       # its items, each on one line
    set(newest_program)
    set(newest_package)
    set(newest_package_epoch)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "\n$" "" text "${line}")
        if(text MATCHES "^termovel \\(([0-9][0-9A-Za-z.+~-]*)\\) [a-z-]+${semicolon} urgency=[a-z]+$")
            if(version)
                message(FATAL_ERROR "packaging/releases: '${text}': the entry above has no "
                                    "' -- name <address>  date' line")
            endif()
            set(version ${CMAKE_MATCH_1})
            set(entry "${line}")
            set(items)
        elseif(NOT version)
            string(REPLACE "${semicolon}" ";" text "${text}")
            if(NOT text STREQUAL "")
                message(FATAL_ERROR "packaging/releases: '${text}' stands outside an entry "
                                    "(an entry begins 'termovel (VERSION) unstable; urgency=medium')")
            endif()
        elseif(text MATCHES "^ -- [^<>]+ <[^<>]+>  (.+)$")
            string(APPEND entry "${line}")
            termovel_changelog_date("${CMAKE_MATCH_1}" "${text}" epoch day)
            if(version MATCHES "-([0-9]+)$")
                string(APPEND debian_log "${separator_debian}${entry}")
                set(separator_debian "\n")
                if(NOT newest_package)
                    set(newest_package ${version})
                    set(newest_package_epoch ${epoch})
                endif()
            else()
                string(APPEND program_log "${separator_program}${entry}")
                set(separator_program "\n")
                if(NOT newest_program)
                    set(newest_program ${version})
                endif()
                termovel_appstream_description("${items}" description)
                string(APPEND releases "    <release version=\"${version}\" date=\"${day}\">\n"
                       "      <description>\n${description}      </description>\n"
                       "    </release>\n")
            endif()
            set(version)
        else()
            string(APPEND entry "${line}")
            if(text MATCHES "^  \\* (.+)$")
                list(APPEND items "${CMAKE_MATCH_1}")
            elseif(text MATCHES "^    +(.+)$" AND items)
                list(POP_BACK items item)
                list(APPEND items "${item} ${CMAKE_MATCH_1}")
            elseif(NOT text STREQUAL "")
                message(FATAL_ERROR "packaging/releases: '${text}': a line of an entry is empty, "
                                    "an item ('  * ') or its continuation ('    ')")
            endif()
        endif()
    endforeach()
    if(version)
        message(FATAL_ERROR "packaging/releases: the last entry has no ' -- name <address>  date' line")
    endif()
    if(NOT newest_program STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "packaging/releases: the newest release is '${newest_program}', the "
                            "project version ${PROJECT_VERSION}: add its entry at the top")
    endif()
    if(NOT newest_package MATCHES "^${PROJECT_VERSION}-([0-9]+)$")
        message(FATAL_ERROR "packaging/releases: the newest package is '${newest_package}', not "
                            "one of version ${PROJECT_VERSION} (${PROJECT_VERSION}-1 for the first)")
    endif()
    set(TERMOVEL_DEB_RELEASE ${CMAKE_MATCH_1} PARENT_SCOPE)
    set(TERMOVEL_SOURCE_DATE_EPOCH ${newest_package_epoch} PARENT_SCOPE)
    string(REPLACE "${semicolon}" ";" releases "${releases}")
    set(TERMOVEL_APPSTREAM_RELEASES "${releases}" PARENT_SCOPE)

    # Each changelog is rewritten only when its text changes, so a configure does not make the
    # packaging files again.
    foreach(name_text "changelog|${program_log}" "changelog.Debian|${debian_log}")
        string(FIND "${name_text}" "|" bar)
        string(SUBSTRING "${name_text}" 0 ${bar} name)
        math(EXPR bar "${bar} + 1")
        string(SUBSTRING "${name_text}" ${bar} -1 text)
        string(REPLACE "${semicolon}" ";" text "${text}")
        string(REGEX REPLACE "\n+$" "\n" text "${text}")
        file(WRITE ${folder}/${name}.new "${text}")
        file(COPY_FILE ${folder}/${name}.new ${folder}/${name} ONLY_IF_DIFFERENT)
        file(REMOVE ${folder}/${name}.new)
    endforeach()
endfunction()
