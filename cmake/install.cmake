# Installing Termovel the way a Linux desktop expects (GNUInstallDirs): the program and its
# command-line companion in bin/, the bundled dictionaries and the help file in
# share/termovel/, a desktop entry, icons in the hicolor theme, AppStream metadata, manual
# pages and the copyright file; and three Debian packages of all that, made by CPack from its
# components (cpack -G DEB in the build folder; scripts/package.sh builds them for release):
#   termovel-data  (component data, Architecture all): the dictionaries and the help file;
#   termovel       (component program): the windowed program, depending on termovel-data;
#   termovel-dic   (component tool): the command-line tool, which needs no Qt.
# An installed program keeps the user's settings and dictionaries in $XDG_DATA_HOME/termovel and
# reads the bundled dictionaries and the help file in place from share/termovel/.
if(NOT TERMOVEL_GUI)
    return()
endif()

include(GNUInstallDirs)

# The packages' version: the project version and the Debian release of it (1.0-1), both from
# the release history, which the changelogs and the AppStream metadata are made of too.
include(${CMAKE_SOURCE_DIR}/cmake/releases.cmake)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
termovel_read_releases(${CMAKE_SOURCE_DIR}/packaging/releases ${CMAKE_BINARY_DIR}/packaging)
set(TERMOVEL_DEB_VERSION ${PROJECT_VERSION}-${TERMOVEL_DEB_RELEASE})

set(TERMOVEL_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/termovel)

# The program finds the installed data relative to its own folder, so a tree staged with
# DESTDIR or moved to another prefix finds its own data and not that of another install.
file(RELATIVE_PATH TERMOVEL_DATA_FROM_BINARY ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/termovel)
target_compile_definitions(termovel PRIVATE
    TERMOVEL_DATA_FROM_BINARY="${TERMOVEL_DATA_FROM_BINARY}")

install(TARGETS termovel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(TARGETS termovel-dic RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
# A stripped install (the packages) also drops the compiler's .comment and .note sections,
# which only say how the binaries were made.
foreach(binary_component termovel:program termovel-dic:tool)
    string(REPLACE ":" ";" binary_component ${binary_component})
    list(GET binary_component 0 binary)
    list(GET binary_component 1 component)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
            \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${binary}
            COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT ${component})
endforeach()

# The dictionaries that data/ builds, by its own list: a file left in build/dics/ by an earlier
# build is not one of them. A dictionary the build had to leave out stops the install.
get_directory_property(TERMOVEL_BUNDLED_DICS DIRECTORY ${CMAKE_SOURCE_DIR}/data
                       DEFINITION BUNDLED_DICS)
get_property(missing_dics GLOBAL PROPERTY TERMOVEL_MISSING_DICS)
if(missing_dics)
    list(JOIN missing_dics ", " missing_dics)
    set(missing_message "Не собраны словари: ${missing_dics}; установите эти пакеты Debian")
    if(TERMOVEL_PACKAGE_FLAGS)
        message(FATAL_ERROR "${missing_message}")
    endif()
    install(CODE "message(FATAL_ERROR \"${missing_message}\")" COMPONENT data)
endif()
install(FILES ${TERMOVEL_BUNDLED_DICS} DESTINATION ${TERMOVEL_DATA_DESTINATION} COMPONENT data)
# The help file, when this build has one.
install(FILES ${TERMOVEL_PROGRAM_DIR}/termovel.chm DESTINATION ${TERMOVEL_DATA_DESTINATION}
        OPTIONAL COMPONENT data)

add_subdirectory(${CMAKE_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)
# The description that tells Termovel's .dic files from the spell checkers' by content; the
# desktop entry opens files of that type.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/termovel-mime.xml RENAME termovel.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# The Debian packages, one per component.
set(CPACK_PACKAGE_NAME termovel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TERMOVEL_DEB_RELEASE})
set(CPACK_PACKAGE_VENDOR "Termovel developers")
set(CPACK_PACKAGE_CONTACT "Termovel developers <termovel@example.org>"
    CACHE STRING "Maintainer of the Debian packages: name <address>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://termovel.example.org")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies are read from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Reproducible packages: the same build tree gives the same bytes. Every file, and every member
# of the package's archives, carries the date of the newest package entry of the release history
# (dpkg-buildpackage takes SOURCE_DATE_EPOCH from debian/changelog the same way); a
# SOURCE_DATE_EPOCH exported by whoever runs cpack wins. The contents are compressed with xz, as
# Debian's own packages are.
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Two threads, not "all the processors": xz's multi-threaded encoder cuts the stream into blocks
# of a fixed size whatever the number of threads, where a single thread writes one block, so a
# fixed count above one gives the same bytes on any machine, in about half the time on two.
set(CPACK_THREADS 2)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/cpack_options.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} CONTENT
"# Made by cmake/install.cmake: what cpack sets before it makes the packages.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} ${TERMOVEL_SOURCE_DATE_EPOCH})
endif()
")
# CPack puts each summary (the first line) above its long description, indented as Debian wants.
set(about_termovel "Termovel is a desktop dictionary with a Russian interface. It keeps several
dictionaries open at once, one per tab. Typing the first letters of a term
finds it in the word list, and Enter opens its article in a translation
window; in edit mode the same program creates and edits dictionaries.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME termovel)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "desktop dictionary with a Russian interface
${about_termovel}

This package holds the windowed program; termovel-data holds the bundled
dictionaries and termovel-dic the command-line tool.")
# The bundled dictionaries and help, this very version of them, and Qt's own Russian texts for
# the standard dialogs.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
    "termovel-data (= ${TERMOVEL_DEB_VERSION}), qt6-translations-l10n")
# The help file is a CHM document, and the help file and the web links are handed to the
# desktop's handler (xdg-open): welcome, but not needed to run.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "xchm, xdg-utils, termovel-dic")
string(APPEND CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS ", hunspell-ru, hunspell-en-us, wordnet-base")

set(CPACK_DEBIAN_DATA_PACKAGE_NAME termovel-data)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DATA_DESCRIPTION "dictionaries and help for the Termovel dictionary
${about_termovel}

This package holds the bundled dictionaries (English-Russian, WordNet,
computing terms, the Jargon File, chemical elements, guitar chords and
others) and the Russian help file.")

# Into out: the Debian source packages, with their versions ("icu (= 72.1-3)"), of the static
# libraries given (paths, or names the compiler looks up, such as libstdc++.a; anything else is
# passed over), sorted and joined with ", ". Empty when dpkg does not know one of them.
function(termovel_static_built_using out)
    set(${out} "" PARENT_SCOPE)
    find_program(DPKG_QUERY dpkg-query)
    if(NOT DPKG_QUERY)
        return()
    endif()
    set(sources)
    foreach(library IN LISTS ARGN)
        if(NOT library MATCHES "\\.a$")
            continue()
        endif()
        if(NOT IS_ABSOLUTE "${library}")
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                            OUTPUT_VARIABLE library OUTPUT_STRIP_TRAILING_WHITESPACE)
        endif()
        file(REAL_PATH "${library}" library)
        # An update of the library configures again, and so gets its new version here.
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${library})
        execute_process(COMMAND ${DPKG_QUERY} --search ${library} OUTPUT_VARIABLE owner
                        RESULT_VARIABLE failed ERROR_QUIET)
        # "libicu-dev:amd64: /usr/lib/x86_64-linux-gnu/libicuuc.a"
        if(failed OR NOT owner MATCHES "^([^ ,]+): ")
            return()
        endif()
        execute_process(COMMAND ${DPKG_QUERY} --show
                                "--showformat=\${source:Package} (= \${source:Version})"
                                ${CMAKE_MATCH_1}
                        OUTPUT_VARIABLE source RESULT_VARIABLE failed ERROR_QUIET)
        if(failed OR NOT source MATCHES "^[a-z0-9][a-z0-9.+-]* \\(= [^)]+\\)$")
            return()
        endif()
        list(APPEND sources "${source}")
    endforeach()
    list(REMOVE_DUPLICATES sources)
    list(SORT sources)
    list(JOIN sources ", " joined)
    set(${out} "${joined}" PARENT_SCOPE)
endfunction()

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME termovel-dic)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "command-line tool for Termovel dictionary files
termovel-dic lists, looks up, checks, imports and exports the dictionary
files of Termovel, a desktop dictionary with a Russian interface, and
converts dictd and StarDict dictionaries into them. It needs no window
system.")
# A tool with ICU and the C++ runtime built in carries their code as this build host had it:
# the control field Static-Built-Using names their source packages and versions, so that a
# security update of either is known to need a rebuild of termovel-dic.
if(TERMOVEL_TOOL_STATIC_ICU)
    termovel_static_built_using(static_built_using ${ICU_STATIC_LIBRARIES} ${HUNSPELL_LIBRARY}
                                libstdc++.a libgcc.a)
    if(static_built_using)
        # CPack writes no field of a project's own, and each field as it is given: the line
        # rides behind the package's Source field (the source package all three come from).
        set(CPACK_DEBIAN_TOOL_PACKAGE_SOURCE "termovel\nStatic-Built-Using: ${static_built_using}")
    elseif(TERMOVEL_PACKAGE_FLAGS)
        message(FATAL_ERROR "The packages of the static libraries termovel-dic links are not "
                            "known to dpkg, so its Static-Built-Using cannot be written")
    endif()
endif()
# The windowed program has Hunspell built in the same way.
if(TERMOVEL_STATIC_HUNSPELL)
    termovel_static_built_using(program_static_built_using ${HUNSPELL_LIBRARY})
    if(program_static_built_using)
        set(CPACK_DEBIAN_PROGRAM_PACKAGE_SOURCE
            "termovel\nStatic-Built-Using: ${program_static_built_using}")
    endif()
endif()
include(CPack)

# The install rules, the package and a first start of the installed program, checked together.
if(NOT BUILD_TESTING)
    return()
endif()
add_test(NAME install.install_check
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_check.sh ${CMAKE_BINARY_DIR}
                 ${CMAKE_BINARY_DIR}/e2e-artefacts ${TERMOVEL_BUNDLED_DICS})
# xz, as Debian packs its packages, takes minutes over the dictionaries on a busy machine.
set_tests_properties(install.install_check PROPERTIES LABELS install TIMEOUT 900 RUN_SERIAL TRUE)
