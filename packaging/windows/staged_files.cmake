# Run by cpack once it has staged the files of the installer or the zip, before it packs
# them: signs every program and DLL (packaging/windows/sign.sh, when a certificate is
# given), and marks the zip's copy as portable.
file(GLOB_RECURSE binaries "${CPACK_TEMPORARY_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_DIRECTORY}/*.dll")
if(binaries)
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sign.sh ${binaries}
                    COMMAND_ERROR_IS_FATAL ANY)
endif()
if(CPACK_GENERATOR STREQUAL "ZIP")
    file(READ ${CMAKE_CURRENT_LIST_DIR}/portable.ini text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${CPACK_TEMPORARY_DIRECTORY}/portable.ini" "${text}")
endif()
