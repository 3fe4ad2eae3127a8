# The machine-readable copyright file (Debian's copyright format 1.0) of Termovel and its bundled
# dictionaries.
#
# Included by packaging/CMakeLists.txt, it only sets TERMOVEL_DIC_SOURCES, the table below. Run
# as a script (cmake -DOUT=... -DDICS=... -DICU_BUILT_IN=ON|OFF -P copyright.cmake), it writes
# OUT: the program's own paragraph, one Files paragraph per bundled dictionary, one for ICU when
# the command-line tool has it built in, one for Hunspell when the programs have it built in,
# and the licence texts.
# The holders and licences of dictionaries made from other people's data are read from the
# copyright files of the Debian packages they come from, so they say what their source says.

# The bundled dictionaries made from other people's data, by file name: the Debian packages
# whose copyright files name their holders and licence, then (after a second |) a holder the
# project adds for its own part. Every other bundled dictionary is the project's own data.
set(TERMOVEL_DIC_SOURCES
    "en_ru_mueller.dic|mueller7-dict"
    "ru_en_mueller.dic|mueller7-dict|2026 Termovel developers (the Russian-English index)"
    "en_wordnet.dic|dict-wn"
    "en_computing.dic|dict-foldoc,dict-vera"
    "en_jargon.dic|dict-jargon")
# The licence of a package whose copyright file is free text rather than the machine-readable
# format, which therefore names it in words only; after a second |, the name of the licence of a
# further part that the file gives its own holders and notice ("X is Copyright (C) … and is
# distributed under the following license:", FOLDOC's Debian additions).
set(TERMOVEL_TEXT_LICENCES "mueller7-dict|GPL-2+"
    "dict-foldoc|GFDL-NIV-1.1+|FOLDOC-Debian-additions")
# The project's own dictionaries are CC BY-SA 4.0, as their information says; those listed here
# carry another licence of their own.
set(TERMOVEL_OWN_DIC_LICENCE CC-BY-SA-4.0)
set(TERMOVEL_OWN_DIC_LICENCES "guitar_chords.dic|CC0-1.0")

if(NOT CMAKE_SCRIPT_MODE_FILE)
    return()
endif()
cmake_policy(VERSION 3.25)

set(kProgramLicence GPL-3.0-or-later)
# The characters a CMake list treats specially stand in for themselves while text is a list of
# lines.
string(ASCII 2 kSemicolon)
string(ASCII 3 kOpenBracket)
string(ASCII 4 kCloseBracket)

# entryValue(<entries> <key> <var>): the value that a list of "name|value" entries gives key,
# the last such entry winning; var keeps what it held when no entry names key.
function(entryValue entries key var)
    foreach(entry IN LISTS entries)
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 name)
        if(name STREQUAL key)
            list(GET entry 1 value)
            set(${var} "${value}" PARENT_SCOPE)
        endif()
    endforeach()
endfunction()

# readLines(<path> <var>): the file's lines as a list, empty lines kept.
function(readLines path var)
    if(NOT EXISTS ${path})
        message(FATAL_ERROR "Нет файла ${path}: установите пакет Debian, из которого он берётся")
    endif()
    file(READ ${path} text)
    string(REPLACE ";" "${kSemicolon}" text "${text}")
    string(REPLACE "[" "${kOpenBracket}" text "${text}")
    string(REPLACE "]" "${kCloseBracket}" text "${text}")
    string(REPLACE "\r" "" text "${text}")
    string(REGEX REPLACE "\n+$" "" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(${var} "${lines}" PARENT_SCOPE)
endfunction()

# A continuation-line block for a field value: each line indented by one space, an empty line
# written as " .".
function(continuation lines var)
    set(out "")
    foreach(line IN LISTS lines)
        string(STRIP "${line}" stripped)
        if(stripped STREQUAL "")
            string(APPEND out " .\n")
        else()
            string(REGEX REPLACE "[ \t]+$" "" line "${line}")
            string(APPEND out " ${line}\n")
        endif()
    endforeach()
    set(${var} "${out}" PARENT_SCOPE)
endfunction()

# The common licence file that a licence name stands for on a Debian system, empty if none.
function(commonLicence name var)
    set(file "")
    if(name MATCHES "^GPL-2")
        set(file GPL-2)
    elseif(name MATCHES "^GPL-3")
        set(file GPL-3)
    elseif(name MATCHES "^LGPL-2\\.1")
        set(file LGPL-2.1)
    elseif(name MATCHES "^GFDL")
        set(file GFDL-1.3)
    elseif(name STREQUAL "CC0-1.0")
        set(file CC0-1.0)
    endif()
    set(${var} "${file}" PARENT_SCOPE)
endfunction()

# Spells out licence name with the lines of text once, however many paragraphs name it.
macro(keepLicence name text)
    string(MAKE_C_IDENTIFIER "${name}" kept_lid)
    if(NOT DEFINED licence_${kept_lid})
        list(APPEND licences "${name}")
        set(licence_${kept_lid} "${text}")
    endif()
endmacro()

# Reads the copyright file of a Debian package. Sets <prefix>_COPYRIGHT (the holders, a list),
# <prefix>_LICENCE (its name) and <prefix>_TEXT (the licence or notice, a list of lines).
#
# A machine-readable file gives the paragraph of "Files: *" (the upstream work, not the
# packaging) and, when that paragraph names its licence only, the licence paragraph of that
# name. A free-text file gives its first copyright notice: the block that starts at the first
# line reading "Copyright <year>" or "Copyright (C) <year>" and runs while lines are blank or
# indented at least as deep; its Copyright lines are the holders and the rest is the notice.
function(readPackage package prefix)
    readLines(/usr/share/doc/${package}/copyright lines)
    list(GET lines 0 first)
    set(holders)
    set(licence "")
    set(text)
    if(first MATCHES "^Format:")
        # Paragraphs of fields; a value goes on in lines that start with a space.
        set(in_files OFF)
        set(field "")
        set(standalone)
        set(paragraph_licence "")
        foreach(line IN LISTS lines)
            if(line MATCHES "^[ \t]*$")
                set(in_files OFF)
                set(field "")
                set(paragraph_licence "")
            elseif(line MATCHES "^([A-Za-z-]+):[ \t]*(.*)$")
                set(field ${CMAKE_MATCH_1})
                set(value "${CMAKE_MATCH_2}")
                if(field STREQUAL "Files")
                    set(in_files OFF)
                    if(value STREQUAL "*")
                        set(in_files ON)
                    endif()
                elseif(field STREQUAL "Copyright" AND in_files)
                    list(APPEND holders "${value}")
                elseif(field STREQUAL "License" AND in_files)
                    set(licence "${value}")
                elseif(field STREQUAL "License")
                    set(paragraph_licence "${value}")
                endif()
            elseif(line MATCHES "^[ \t]+(.*)$")
                set(value "${CMAKE_MATCH_1}")
                if(value STREQUAL ".")
                    set(value "")
                endif()
                if(in_files AND field STREQUAL "Copyright")
                    list(APPEND holders "${value}")
                elseif(in_files AND field STREQUAL "License")
                    list(APPEND text "${value}")
                elseif(field STREQUAL "License" AND paragraph_licence STREQUAL licence)
                    list(APPEND standalone "${value}")
                endif()
            endif()
        endforeach()
        if(NOT text)
            set(text "${standalone}")
        endif()
    else()
        entryValue("${TERMOVEL_TEXT_LICENCES}" ${package} licence)
        set(depth -1)
        foreach(line IN LISTS lines)
            string(REGEX MATCH "^ +" indent "${line}")
            string(LENGTH "${indent}" indent)
            string(STRIP "${line}" stripped)
            if(depth LESS 0)
                if(stripped MATCHES "^Copyright +(\\(C\\) +|© *)?[0-9]")
                    set(depth ${indent})
                else()
                    continue()
                endif()
            elseif(NOT stripped STREQUAL "" AND indent LESS depth)
                break()
            endif()
            if(stripped MATCHES "^Copyright +(\\(C\\) +|© *)?([0-9].*)$")
                string(REGEX REPLACE " by " " " holder "${CMAKE_MATCH_2}")
                list(APPEND holders "${holder}")
            elseif(text OR NOT stripped STREQUAL "")
                list(APPEND text "${stripped}")
            endif()
        endforeach()
        readFurtherPart(${package} "${lines}" ${prefix})
        set(${prefix}_PART_COPYRIGHT "${${prefix}_PART_COPYRIGHT}" PARENT_SCOPE)
        set(${prefix}_PART_LICENCE "${${prefix}_PART_LICENCE}" PARENT_SCOPE)
        set(${prefix}_PART_TEXT "${${prefix}_PART_TEXT}" PARENT_SCOPE)
    endif()
    # A holder written with its own "Copyright ©" (ICU's "Copyright: Copyright © 1991-2022
    # Unicode, Inc.") would say it twice in the field.
    list(TRANSFORM holders REPLACE "^Copyright +(\\(C\\) +|© *)?" "")
    # Blank lines at the end of the notice say nothing.
    list(LENGTH text count)
    while(count GREATER 0)
        list(GET text -1 last)
        if(NOT last STREQUAL "")
            break()
        endif()
        list(REMOVE_AT text -1)
        list(LENGTH text count)
    endwhile()
    if(NOT holders OR licence STREQUAL "" OR NOT text)
        message(FATAL_ERROR "Не удалось прочитать владельцев и лицензию из "
                            "/usr/share/doc/${package}/copyright")
    endif()
    set(${prefix}_COPYRIGHT "${holders}" PARENT_SCOPE)
    set(${prefix}_LICENCE "${licence}" PARENT_SCOPE)
    set(${prefix}_TEXT "${text}" PARENT_SCOPE)
endfunction()

# In a free-text copyright file, the further part that TERMOVEL_TEXT_LICENCES names a licence
# for: the sentence "<part> is Copyright (C) <years> by <holders>, and is distributed under the
# following license:" and the indented notice after it. Sets <prefix>_PART_COPYRIGHT,
# <prefix>_PART_LICENCE and <prefix>_PART_TEXT (empty when the package has no such part); a
# part named in the table but missing from the file stops the script.
function(readFurtherPart package lines prefix)
    set(licence "")
    foreach(entry IN LISTS TERMOVEL_TEXT_LICENCES)
        string(REPLACE "|" ";" entry "${entry}")
        list(LENGTH entry fields)
        list(GET entry 0 name)
        if(name STREQUAL package AND fields GREATER 2)
            list(GET entry 2 licence)
        endif()
    endforeach()
    set(${prefix}_PART_LICENCE "${licence}" PARENT_SCOPE)
    set(${prefix}_PART_COPYRIGHT "" PARENT_SCOPE)
    set(${prefix}_PART_TEXT "" PARENT_SCOPE)
    if(licence STREQUAL "")
        return()
    endif()
    set(said "")
    set(text)
    set(state find)
    foreach(line IN LISTS lines)
        string(STRIP "${line}" stripped)
        if(state STREQUAL find)
            if(stripped MATCHES " is Copyright +(\\(C\\) +|© *)?[0-9]")
                set(said "${stripped}")
                set(state sentence)
            endif()
        elseif(state STREQUAL sentence)
            string(APPEND said " ${stripped}")
        elseif(state STREQUAL notice)
            if(NOT stripped STREQUAL "" AND NOT line MATCHES "^[ \t]")
                break()
            endif()
            if(text OR NOT stripped STREQUAL "")
                list(APPEND text "${stripped}")
            endif()
        endif()
        if(state STREQUAL sentence AND said MATCHES ":$")
            set(state notice)
        endif()
    endforeach()
    if(NOT said MATCHES " is Copyright +(\\(C\\) +|© *)?([0-9].*), and is distributed" OR
       NOT text)
        message(FATAL_ERROR "Не удалось прочитать владельцев и условия части с лицензией "
                            "${licence} из /usr/share/doc/${package}/copyright")
    endif()
    string(REGEX REPLACE " by " " " holders "${CMAKE_MATCH_2}")
    list(LENGTH text count)
    list(GET text -1 last)
    if(last STREQUAL "")
        list(REMOVE_AT text -1)
    endif()
    set(${prefix}_PART_COPYRIGHT "${holders}" PARENT_SCOPE)
    set(${prefix}_PART_TEXT "${text}" PARENT_SCOPE)
endfunction()

# A Copyright field of several holders, one a line.
function(copyrightField holders var)
    set(out "")
    foreach(holder IN LISTS holders)
        if(out STREQUAL "")
            set(out "Copyright: ${holder}\n")
        else()
            string(APPEND out "           ${holder}\n")
        endif()
    endforeach()
    set(${var} "${out}" PARENT_SCOPE)
endfunction()

set(kHolders "2026 Termovel developers")
set(out "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Termovel
Upstream-Contact: termovel@example.org
Source: https://termovel.example.org
Comment: The dictionaries are named by their file names in the data folder
 (/usr/share/termovel, or the program folder of a portable copy).

Files: *
Copyright: ${kHolders}
License: ${kProgramLicence}
")

# Every bundled dictionary gets its paragraph; the licence texts follow at the end, each once.
set(own_dics)
set(licences)
set(DICS_SORTED ${DICS})
list(SORT DICS_SORTED)
foreach(dic IN LISTS DICS_SORTED)
    get_filename_component(dic ${dic} NAME)
    set(packages "")
    set(extra "")
    foreach(entry IN LISTS TERMOVEL_DIC_SOURCES)
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 name)
        if(name STREQUAL dic)
            list(GET entry 1 packages)
            string(REPLACE "," ";" packages "${packages}")
            list(LENGTH entry fields)
            if(fields GREATER 2)
                list(GET entry 2 extra)
            endif()
        endif()
    endforeach()
    if(NOT packages)
        list(APPEND own_dics ${dic})
        continue()
    endif()
    set(holders)
    set(names)
    set(comment)
    foreach(package IN LISTS packages)
        string(MAKE_C_IDENTIFIER ${package} id)
        readPackage(${package} ${id})
        list(APPEND holders ${${id}_COPYRIGHT})
        list(APPEND names "${${id}_LICENCE}")
        # A further part of the package under its own notice: its holders and licence too.
        if(NOT "${${id}_PART_LICENCE}" STREQUAL "")
            list(APPEND holders "${${id}_PART_COPYRIGHT}")
            list(APPEND names "${${id}_PART_LICENCE}")
            keepLicence("${${id}_PART_LICENCE}" "${${id}_PART_TEXT}")
        endif()
        set(licence "${${id}_LICENCE}")
        string(MAKE_C_IDENTIFIER "${licence}" lid)
        if(NOT DEFINED licence_${lid})
            list(APPEND licences "${licence}")
            set(licence_${lid} "${${id}_TEXT}")
        elseif(NOT licence_${lid} STREQUAL "${${id}_TEXT}")
            # The same licence in other words: the source's own notice goes with its dictionary.
            list(APPEND comment "The notice of ${package}:" ${${id}_TEXT})
        endif()
    endforeach()
    if(extra)
        list(APPEND holders "${extra}")
    endif()
    list(REMOVE_DUPLICATES names)
    list(JOIN names " and " names)
    list(JOIN packages " and " package_list)
    copyrightField("${holders}" copyright)
    continuation("${comment}" comment_text)
    string(APPEND out "
Files: ${dic}
${copyright}License: ${names}
Comment: Made from the dictd databases of Debian's ${package_list}.
${comment_text}")
endforeach()

# ICU, when the command-line tool has it built in: the tool's binary is then the project's work
# and ICU's together.
if(ICU_BUILT_IN)
    readPackage(libicu-dev icu)
    copyrightField("${kHolders};${icu_COPYRIGHT}" copyright)
    string(APPEND out "
Files: src/tools/*
${copyright}License: ${kProgramLicence} and ${icu_LICENCE}
Comment: The binary termovel-dic has ICU built in, with its data (from Debian's
 libicu-dev), so that a look-up does not wait for the dynamic loader.
")
    keepLicence("${icu_LICENCE}" "${icu_TEXT}")
endif()

# Hunspell, when built into the programs (the word forms and the spelling suggestions): its
# Debian copyright file lists the holders under "Copyrights:" and offers the library under the
# MPL 1.1, the GPL 2.0 or the LGPL 2.1 (or later); Termovel takes it under the LGPL, the choice
# that joins a program under the GPL 3.
if(HUNSPELL_BUILT_IN)
    readLines(/usr/share/doc/libhunspell-dev/copyright hunspell_lines)
    set(hunspell_holders)
    set(in_holders OFF)
    foreach(line IN LISTS hunspell_lines)
        string(STRIP "${line}" stripped)
        if(stripped STREQUAL "Copyrights:")
            set(in_holders ON)
        elseif(in_holders AND stripped STREQUAL "")
            break()
        elseif(in_holders)
            string(REGEX REPLACE "^(Copyright +)?\\(C\\) +" "" stripped "${stripped}")
            list(APPEND hunspell_holders "${stripped}")
        endif()
    endforeach()
    if(NOT hunspell_holders)
        message(FATAL_ERROR "Не удалось прочитать владельцев из "
                            "/usr/share/doc/libhunspell-dev/copyright")
    endif()
    copyrightField("${kHolders};${hunspell_holders}" copyright)
    string(APPEND out "
Files: src/wordforms/*
${copyright}License: ${kProgramLicence} and LGPL-2.1+
Comment: The binaries termovel and termovel-dic have Hunspell built in (from Debian's
 libhunspell-dev), which finds the dictionary forms of a word and spelling suggestions.
 Hunspell is offered under the MPL 1.1, the GPL 2.0 or the LGPL 2.1 or later; it is
 used here under the LGPL.
")
    set(lgpl_notice
        "This library is free software${kSemicolon} you can redistribute it and/or modify it"
        "under the terms of the GNU Lesser General Public License as published by the Free"
        "Software Foundation${kSemicolon} either version 2.1 of the License, or (at your option)"
        "any later version.")
    keepLicence(LGPL-2.1+ "${lgpl_notice}")
endif()

# The project's own dictionaries, one paragraph per licence.
set(own_licences)
foreach(dic IN LISTS own_dics)
    set(licence ${TERMOVEL_OWN_DIC_LICENCE})
    entryValue("${TERMOVEL_OWN_DIC_LICENCES}" ${dic} licence)
    string(MAKE_C_IDENTIFIER "${licence}" lid)
    list(APPEND own_${lid} ${dic})
    list(APPEND own_licences ${licence})
endforeach()
list(REMOVE_DUPLICATES own_licences)
foreach(licence IN LISTS own_licences)
    string(MAKE_C_IDENTIFIER "${licence}" lid)
    list(JOIN own_${lid} " " own_list)
    string(APPEND out "
Files: ${own_list}
Copyright: ${kHolders}
License: ${licence}
Comment: Written for Termovel.
")
    list(APPEND licences ${licence})
endforeach()
set(licence_CC_BY_SA_4_0
    "This work is licensed under the Creative Commons Attribution-ShareAlike 4.0"
    "International License. To view a copy of this license, visit"
    "https://creativecommons.org/licenses/by-sa/4.0/ or send a letter to Creative"
    "Commons, PO Box 1866, Mountain View, CA 94042, USA.")
set(licence_CC0_1_0
    "To the extent possible under law, the authors have waived all copyright and"
    "related or neighboring rights to this work under the Creative Commons CC0 1.0"
    "Universal Public Domain Dedication.")

set(licence_GPL_3_0_or_later
    "This program is free software: you can redistribute it and/or modify it"
    "under the terms of the GNU General Public License as published by the Free"
    "Software Foundation, either version 3 of the License, or (at your option)"
    "any later version."
    ""
    "This program is distributed in the hope that it will be useful, but WITHOUT"
    "ANY WARRANTY${kSemicolon} without even the implied warranty of MERCHANTABILITY or"
    "FITNESS FOR A PARTICULAR PURPOSE. See the GNU General Public License for more"
    "details.")
list(PREPEND licences ${kProgramLicence})
foreach(licence IN LISTS licences)
    string(MAKE_C_IDENTIFIER "${licence}" lid)
    set(text "${licence_${lid}}")
    commonLicence("${licence}" common)
    if(common AND NOT text MATCHES "/usr/share/common-licenses/")
        list(APPEND text "" "On Debian systems, the complete text of the licence can be found in"
                     "/usr/share/common-licenses/${common}.")
    endif()
    continuation("${text}" body)
    string(APPEND out "\nLicense: ${licence}\n${body}")
endforeach()

string(REPLACE "${kSemicolon}" ";" out "${out}")
string(REPLACE "${kOpenBracket}" "[" out "${out}")
string(REPLACE "${kCloseBracket}" "]" out "${out}")
file(WRITE ${OUT}.new "${out}")
file(RENAME ${OUT}.new ${OUT})
