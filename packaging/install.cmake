# Installation layout and the Debian package.
include(GNUInstallDirs)

set(TERSIFY_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tersify)

install(TARGETS tersify-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tersify)
  install(TARGETS tersify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Read-only files the program reads from its installation.
install(FILES ${CMAKE_SOURCE_DIR}/lang/Deflan.dat DESTINATION ${TERSIFY_DATA_DIR})
file(GLOB TERSIFY_LANGUAGE_FILES ${CMAKE_SOURCE_DIR}/lang/*.lng)
if(TERSIFY_LANGUAGE_FILES)
  install(FILES ${TERSIFY_LANGUAGE_FILES} DESTINATION ${TERSIFY_DATA_DIR}/lang)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/help)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${TERSIFY_DATA_DIR}/help)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/man/tersify-cli.1)
  install(FILES ${CMAKE_SOURCE_DIR}/man/tersify-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Desktop integration.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tersify.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/tersify-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tersify.png)
endforeach()

set(CPACK_PACKAGE_NAME tersify)
set(CPACK_PACKAGE_VENDOR "Tersify developers")
set(CPACK_PACKAGE_CONTACT "Tersify developers <tersify@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Makes HTML files smaller")
set(CPACK_PACKAGE_DESCRIPTION "Tersify optimizes HTML files through a fixed sequence of text passes: comments,\n needless quotes, white space, line breaks and listed tags go, while scripts stay byte for byte.\n A desktop program (tersify) and a command-line program (tersify-cli).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The run record's SHA-256 comes from libcrypto; named too where shlibdeps is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
