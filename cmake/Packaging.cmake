# What `cmake --install` puts where, and the packages CPack makes of it: a Debian package of the
# command line (native builds), and the parts of the zip of both Windows editions, which
# scripts/package.sh assembles from the two Windows builds (cmake/WindowsZip.cmake).
include(GNUInstallDirs)

if(WIN32)
  install(FILES $<TARGET_FILE:sumwright_exe> $<TARGET_FILE:sumwright_dll> DESTINATION .
    COMPONENT program)
  # Notepad of older Windows shows a file with LF line ends as one line.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-readme.txt ${PROJECT_BINARY_DIR}/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT readme)

  # The optional context-menu entry for folders, and its removal. The command is an expandable
  # string (REG_EXPAND_SZ), which a .reg file of the plain-text format (REGEDIT4) writes as the
  # hexadecimal bytes of its text, NUL included; the registry editor makes them wide characters.
  set(_sw_command "\"%LOCALAPPDATA%\\Programs\\Sumwright\\Sumwright.exe\" \"%1\"")
  string(HEX "${_sw_command}" _sw_hex)
  string(REGEX REPLACE "(..)" "\\1," _sw_hex "${_sw_hex}")
  set(SUMWRIGHT_CONTEXT_COMMAND "${_sw_hex}00")
  foreach(_sw_reg context-menu-add context-menu-remove)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${_sw_reg}.reg ${PROJECT_BINARY_DIR}/${_sw_reg}.reg
      @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/${_sw_reg}.reg DESTINATION . COMPONENT readme)
  endforeach()
  return()
endif()

# Manual pages are installed compressed, as Debian's policy asks.
set(SUMWRIGHT_MAN_PAGE ${PROJECT_BINARY_DIR}/sumwright.1.gz)
add_custom_command(OUTPUT ${SUMWRIGHT_MAN_PAGE}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/cli/sumwright.1 > ${SUMWRIGHT_MAN_PAGE}
  DEPENDS ${PROJECT_SOURCE_DIR}/cli/sumwright.1 VERBATIM)
add_custom_target(sumwright_man_page ALL DEPENDS ${SUMWRIGHT_MAN_PAGE})

install(TARGETS sumwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SUMWRIGHT_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cli/sumwright.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME sumwright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sumwright)
set(CPACK_PACKAGE_VENDOR Sumwright)
set(CPACK_PACKAGE_CONTACT "Sumwright developers <sumwright@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "folder checksums: CRC-32 listings of folders, compared with earlier ones")
set(CPACK_PACKAGE_DESCRIPTION "sumwright lists the CRC-32 of every file in a folder in the file
File CRCs.TXT and compares it with the listing of an earlier run, to find the files
that changed, went missing or can no longer be read. It verifies folders and whole
trees without changing their listings, and writes JSON Lines for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
