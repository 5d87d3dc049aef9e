# What the Debian package and the Windows installer and zip say of themselves alike: name,
# version, vendor and summary. Included by packaging/CMakeLists.txt and
# packaging/windows/CMakeLists.txt before include(CPack).
set(CPACK_PACKAGE_NAME dravolin)
# The release has three parts (1.1.0) where the programs print the version record's two.
set(patch_version 0)
if(NOT "${PROJECT_VERSION_PATCH}" STREQUAL "")
    set(patch_version ${PROJECT_VERSION_PATCH})
endif()
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${patch_version}")
set(CPACK_PACKAGE_VENDOR "Dravolin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "exchange tag-data files with the Voska handheld programmer")
