# Installs the build into a folder of its own and checks that the programs and what the desktop,
# the manual and bash need of them land in their standard places, each icon at its size.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/nomilo bin/nomilo-rename share/applications/nomilo.desktop
             share/icons/hicolor/scalable/apps/nomilo.svg
             share/metainfo/com.kestrio.nomilo.metainfo.xml
             share/man/man1/nomilo.1.gz
             share/doc/nomilo/changelog.gz share/doc/nomilo/copyright
             share/man/man1/nomilo-rename.1.gz share/bash-completion/completions/nomilo-rename
             share/doc/nomilo-rename/changelog.gz share/doc/nomilo-rename/copyright)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
foreach(program nomilo nomilo-rename)
    execute_process(COMMAND test -x ${PREFIX}/bin/${program} RESULT_VARIABLE executable)
    if(NOT executable EQUAL 0)
        message(FATAL_ERROR "bin/${program} is not executable")
    endif()
endforeach()

# A PNG's width and height are the two big-endian words after its signature and header tag.
foreach(size 16 32 48 64 128 256)
    set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/nomilo.png)
    if(NOT EXISTS ${png})
        message(FATAL_ERROR "not installed: the ${size}x${size} icon")
    endif()
    file(READ ${png} header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 width)
    string(SUBSTRING "${header}" 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "the ${size}x${size} icon is ${width}x${height}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
