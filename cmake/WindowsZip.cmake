# CPack configuration of the zip of both Windows editions. scripts/package.sh names the two
# builds (CPACK_INSTALL_CMAKE_PROJECTS: each edition's program in a folder of its own, the
# read-me at the top), the version and the file name with -D.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Sumwright)
set(CPACK_PACKAGE_DESCRIPTION "Sumwright for Windows: the i686 and x64 editions")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF)
set(CPACK_CMAKE_GENERATOR Ninja)
