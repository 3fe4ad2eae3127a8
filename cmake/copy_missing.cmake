# Copies each file of SRC_DIR into DST_DIR unless DST_DIR already holds a file of that name.
file(MAKE_DIRECTORY ${DST_DIR})
file(GLOB files ${SRC_DIR}/*)
foreach(f ${files})
    get_filename_component(name ${f} NAME)
    if(NOT EXISTS ${DST_DIR}/${name})
        file(COPY ${f} DESTINATION ${DST_DIR})
    endif()
endforeach()
