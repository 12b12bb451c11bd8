# Installs the build into a folder of its own and checks that the program and what the desktop
# needs of it land in their standard places.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/nomilo share/applications/nomilo.desktop
             share/icons/hicolor/16x16/apps/nomilo.png share/icons/hicolor/32x32/apps/nomilo.png
             share/metainfo/com.kestrio.nomilo.metainfo.xml)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
execute_process(COMMAND test -x ${PREFIX}/bin/nomilo RESULT_VARIABLE executable)
if(NOT executable EQUAL 0)
    message(FATAL_ERROR "bin/nomilo is not executable")
endif()
file(REMOVE_RECURSE ${PREFIX})
