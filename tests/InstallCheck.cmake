# Installs the build into a scratch prefix and checks that the desktop finds the application there:
# the program, its desktop entry (valid), its icons in the hicolor theme and its AppStream file.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DVALIDATE=desktop-file-validate] -P InstallCheck.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}" --component Unspecified
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
    bin/peoplekeeper
    share/applications/org.peoplekeeper.Peoplekeeper.desktop
    share/metainfo/org.peoplekeeper.Peoplekeeper.metainfo.xml
    share/icons/hicolor/scalable/apps/org.peoplekeeper.Peoplekeeper.svg)
foreach(size 16 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/org.peoplekeeper.Peoplekeeper.png)
endforeach()
foreach(path ${expected})
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
if(VALIDATE)
    execute_process(COMMAND ${VALIDATE} "${PREFIX}/share/applications/org.peoplekeeper.Peoplekeeper.desktop"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the installed desktop entry does not validate")
    endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
