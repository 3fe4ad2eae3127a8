# A build for the Debian packages (TERMOVEL_PACKAGE_FLAGS, set by scripts/package.sh) compiles and
# links with the distribution's flags, hardening included: fortified functions, stack
# protector, read-only relocations bound at start (full RELRO, BIND_NOW). They come from
# dpkg-buildflags as a distribution's own build would take them, so they follow its defaults;
# and every warning is an error there.
option(TERMOVEL_PACKAGE_FLAGS "Compile and link with dpkg-buildflags, hardening=+all" OFF)
if(NOT TERMOVEL_PACKAGE_FLAGS)
    return()
endif()
if(TERMOVEL_SANITIZE OR TERMOVEL_FUZZ)
    message(FATAL_ERROR "TERMOVEL_PACKAGE_FLAGS is for the packages, not an instrumented build")
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(flag CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${flag}
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE ${flag} OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# A warning fails the package build, so that none comes back once mended.
string(APPEND CMAKE_CXX_FLAGS " ${CPPFLAGS} ${CXXFLAGS} -Werror")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${LDFLAGS}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${LDFLAGS}")
message(STATUS "Package flags: ${CPPFLAGS} ${CXXFLAGS} | ${LDFLAGS}")
