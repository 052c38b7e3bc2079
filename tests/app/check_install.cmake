# Installs the build into a fresh prefix and checks that both programs, the desktop entry and
# the icon land where desktops look for them. Run by CTest with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(path bin/halvorn bin/halvorn-batch share/applications/halvorn.desktop
             share/icons/hicolor/256x256/apps/halvorn.png)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
file(READ ${PREFIX}/share/applications/halvorn.desktop entry)
foreach(line "Type=Application" "Exec=halvorn %f" "Icon=halvorn")
    string(FIND "${entry}" "${line}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks '${line}'")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
