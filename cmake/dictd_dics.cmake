# Bundled dictionaries converted from the dictd databases of Debian's dictionary packages.
# Included by data/CMakeLists.txt before its bundled_dics target; appends to BUNDLED_DICS.
#
# A dictionary whose databases are not installed is left out with a warning, so the program
# still builds (scripts/ensure_deps.sh installs the packages); installing and packaging such a
# build fail (cmake/install.cmake), since a package must not silently lack a dictionary.

set(TERMOVEL_DICTD_DIR /usr/share/dictd CACHE PATH "Folder of the installed dictd databases")
set(DICTD_HEADER_DIR ${CMAKE_SOURCE_DIR}/data/dictd)
set(DICTD_DICS)

# termovel_dictd_dic(STEM NAME text AUTHOR text [OPTIONS option ...] [FILES file package ...]
#                    DATABASES db package ...)
# Builds dics/STEM.dic from the databases (each db.index and db.dict.dz, joined in order) with
# the given name and author, the description in data/dictd/STEM.info and the converter's
# OPTIONS (how the articles are written: --form, --reverse). FILES names the other files the
# OPTIONS read, each with the package that installs it (or "-" for a file of the sources).
function(termovel_dictd_dic stem)
    cmake_parse_arguments(ARG "" "NAME;AUTHOR" "OPTIONS;FILES;DATABASES" ${ARGN})
    set(inputs)
    set(depends)
    list(LENGTH ARG_FILES file_count)
    if(file_count GREATER 0)
        math(EXPR last_file "${file_count} - 1")
        foreach(i RANGE 0 ${last_file} 2)
            list(GET ARG_FILES ${i} file)
            math(EXPR p "${i} + 1")
            list(GET ARG_FILES ${p} package)
            if(NOT EXISTS ${file})
                message(WARNING "Словарь ${stem}.dic не будет собран: нет файла ${file}; "
                                "установите пакет Debian ${package}")
                set_property(GLOBAL APPEND PROPERTY TERMOVEL_MISSING_DICS
                             "${stem}.dic (${package})")
                return()
            endif()
            list(APPEND depends ${file})
        endforeach()
    endif()
    list(LENGTH ARG_DATABASES count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 2)
        list(GET ARG_DATABASES ${i} db)
        math(EXPR p "${i} + 1")
        list(GET ARG_DATABASES ${p} package)
        set(index ${TERMOVEL_DICTD_DIR}/${db}.index)
        set(data ${TERMOVEL_DICTD_DIR}/${db}.dict.dz)
        if(NOT EXISTS ${index} OR NOT EXISTS ${data})
            message(WARNING "Словарь ${stem}.dic не будет собран: нет базы dictd ${db} "
                            "(${index}); установите пакет Debian ${package}")
            set_property(GLOBAL APPEND PROPERTY TERMOVEL_MISSING_DICS "${stem}.dic (${package})")
            return()
        endif()
        list(APPEND inputs ${index} ${data})
        list(APPEND depends ${index} ${data})
    endforeach()
    set(out ${CMAKE_BINARY_DIR}/dics/${stem}.dic)
    set(info ${DICTD_HEADER_DIR}/${stem}.info)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dics
        COMMAND ${CMAKE_COMMAND} -E rm -f ${out}
        # Terms are saved in the root order whatever the build machine's locale, so the files
        # are the same on every build; the program orders them by its user's locale on loading.
        COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C
                $<TARGET_FILE:termovel-dic> from-dictd ${inputs} ${out}
                --name ${ARG_NAME} --author ${ARG_AUTHOR} --info-file ${info} ${ARG_OPTIONS}
        DEPENDS ${depends} ${info} termovel-dic
        COMMENT "Converting ${stem}.dic from dictd"
        VERBATIM)
    set(BUNDLED_DICS ${BUNDLED_DICS} ${out} PARENT_SCOPE)
    set(DICTD_DICS ${DICTD_DICS} ${out} PARENT_SCOPE)
endfunction()

termovel_dictd_dic(en_ru_mueller
    NAME "Англо-русский словарь Мюллера"
    AUTHOR "В. К. Мюллер, электронная версия: С. Старостин и Е. С. Цымбалюк"
    OPTIONS --form mueller
    DATABASES mueller7 mueller7-dict)
# The Russian–English index orders an English word by how often it is used, from WordNet's
# counts of tagged senses, spells glued compounds as WordNet does, and takes the everyday
# function words Mueller's articles lack from our own table.
set(TERMOVEL_WORDNET_DIR /usr/share/wordnet
    CACHE PATH "WordNet's folder: cntlist.rev and index.* (package wordnet-base)")
set(function_words ${CMAKE_SOURCE_DIR}/data/ru_en_function_words.tsv)
set(wordnet_files)
foreach(file cntlist.rev index.noun index.verb index.adj index.adv)
    list(APPEND wordnet_files ${TERMOVEL_WORDNET_DIR}/${file} wordnet-base)
endforeach()
termovel_dictd_dic(ru_en_mueller
    NAME "Русско-английский указатель к словарю Мюллера"
    AUTHOR "Построен из словаря В. К. Мюллера (электронная версия: С. Старостин и Е. С. Цымбалюк)"
    OPTIONS --form mueller --reverse --wordnet ${TERMOVEL_WORDNET_DIR}
            --supplement ${function_words}
    FILES ${wordnet_files} ${function_words} -
    DATABASES mueller7 mueller7-dict)
termovel_dictd_dic(en_wordnet
    NAME "WordNet: толковый словарь английского языка"
    AUTHOR "Princeton University (Принстонский университет)"
    OPTIONS --form prose
    DATABASES wn dict-wn)
termovel_dictd_dic(en_computing
    NAME "Компьютерный словарь FOLDOC и сокращения V.E.R.A."
    AUTHOR "Denis Howe (FOLDOC), Oliver Heidelbach (V.E.R.A.)"
    OPTIONS --form prose
    DATABASES foldoc dict-foldoc vera dict-vera)
termovel_dictd_dic(en_jargon
    NAME "Хакерский жаргон (Jargon File)"
    AUTHOR "Eric S. Raymond и соавторы"
    OPTIONS --form prose
    DATABASES jargon dict-jargon)

# Each converted dictionary loads and saves back unchanged (in the order it was saved in) and
# has its name, author and description.
if(DICTD_DICS)
    add_test(NAME data.dictd_dics
             COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C
                     ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:termovel-dic> "-DDICS=${DICTD_DICS}"
                     -P ${CMAKE_SOURCE_DIR}/cmake/check_dics.cmake)
    set_tests_properties(data.dictd_dics PROPERTIES LABELS data TIMEOUT 120)
endif()
# Every spelling of an alias in the computing dictionary's index is a term, its text once.
if("${DICTD_DICS}" MATCHES "en_computing\\.dic")
    add_test(NAME data.en_computing_aliases
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/data/dictd_aliases.sh
                     $<TARGET_FILE:termovel-dic> ${CMAKE_BINARY_DIR}/dics/en_computing.dic
                     client/server client-server .com "compiler compiler" compiler-compiler
                     /actuator/health actuator/health)
    set_tests_properties(data.en_computing_aliases PROPERTIES LABELS data TIMEOUT 60)
endif()
# Mueller's transcriptions read by meaning; the Russian–English index's size and first lines.
if("${DICTD_DICS}" MATCHES "ru_en_mueller\\.dic")
    add_test(NAME data.mueller_dics
             COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${CMAKE_COMMAND}
                     -DTOOL=$<TARGET_FILE:termovel-dic> -DFORWARD=${CMAKE_BINARY_DIR}/dics/en_ru_mueller.dic
                     -DREVERSE=${CMAKE_BINARY_DIR}/dics/ru_en_mueller.dic
                     -P ${CMAKE_SOURCE_DIR}/cmake/check_mueller_dics.cmake)
    set_tests_properties(data.mueller_dics PROPERTIES LABELS data TIMEOUT 120)
    # The Russian–English dictionary as a reader meets it: everyday words, function words,
    # no noise keys.
    add_test(NAME data.ru_en_mueller
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/data/ru_en_mueller.sh
                     $<TARGET_FILE:termovel-dic> ${CMAKE_BINARY_DIR}/dics/ru_en_mueller.dic
                     ${CMAKE_SOURCE_DIR}/tests/data/ru_en_everyday.tsv)
    set_tests_properties(data.ru_en_mueller PROPERTIES LABELS data TIMEOUT 120)
endif()
