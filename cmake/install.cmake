# Installing Termovel the way a Linux desktop expects (GNUInstallDirs): the program and its
# command-line companion in bin/, the bundled dictionaries and the help file in
# share/termovel/, a desktop entry, icons in the hicolor theme, AppStream metadata and manual
# pages; and a Debian package of all that, made by CPack (cpack -G DEB in the build folder).
# An installed program keeps its settings and dictionaries in $XDG_DATA_HOME/termovel, seeded
# from share/termovel/ on its first start.
if(NOT TERMOVEL_GUI)
    return()
endif()

include(GNUInstallDirs)

set(TERMOVEL_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/termovel)

# The program finds the installed data relative to its own folder, so a tree staged with
# DESTDIR or moved to another prefix finds its own data and not that of another install.
file(RELATIVE_PATH TERMOVEL_DATA_FROM_BINARY ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/termovel)
target_compile_definitions(termovel PRIVATE
    TERMOVEL_DATA_FROM_BINARY="${TERMOVEL_DATA_FROM_BINARY}")

install(TARGETS termovel termovel-dic RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The dictionaries that data/ builds, by its own list: a file left in build/dics/ by an earlier
# build is not one of them.
get_directory_property(TERMOVEL_BUNDLED_DICS DIRECTORY ${CMAKE_SOURCE_DIR}/data
                       DEFINITION BUNDLED_DICS)
install(FILES ${TERMOVEL_BUNDLED_DICS} DESTINATION ${TERMOVEL_DATA_DESTINATION})
# The help file, when this build has one.
install(FILES ${TERMOVEL_PROGRAM_DIR}/termovel.chm DESTINATION ${TERMOVEL_DATA_DESTINATION}
        OPTIONAL)

add_subdirectory(${CMAKE_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)
# The description that tells Termovel's .dic files from the spell checkers' by content; the
# desktop entry opens files of that type.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/termovel-mime.xml RENAME termovel.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# The Debian package.
set(CPACK_PACKAGE_NAME termovel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Termovel developers")
set(CPACK_PACKAGE_CONTACT "Termovel developers <maintainers@termovel.invalid>"
    CACHE STRING "Maintainer of the Debian package: name <address>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop dictionary with a Russian interface")
# The long description; CPack puts the summary above it and indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Termovel keeps several dictionaries open at once, one per tab. Typing the
first letters of a term finds it in the word list, and Enter opens its
article in a translation window; several windows may stay open side by
side. In edit mode the same program creates and edits dictionaries.

The package comes with bundled dictionaries and with termovel-dic, a
command-line tool that lists, looks up, checks, imports and exports the
same dictionary files.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies are read from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help file is a CHM document, and the help file and the web links are handed to the
# desktop's handler (xdg-open): welcome, but not needed to run.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm, xdg-utils")
include(CPack)

# The install rules, the package and a first start of the installed program, checked together.
if(NOT BUILD_TESTING)
    return()
endif()
add_test(NAME install.install_check
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_check.sh ${CMAKE_BINARY_DIR}
                 ${CMAKE_BINARY_DIR}/e2e-artefacts ${TERMOVEL_BUNDLED_DICS})
set_tests_properties(install.install_check PROPERTIES LABELS install TIMEOUT 300 RUN_SERIAL TRUE)
