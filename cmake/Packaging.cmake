# The Debian package: `cpack -G DEB` in the build folder (or `make deb`) writes
# quintavo_<version>_<arch>.deb beside the build; its library dependencies are
# read from the binary by dpkg-shlibdeps.
include(GNUInstallDirs)

# Documentation a Debian package carries: copyright, changelog and manual page,
# the last two compressed as Debian wants them (no name or time in the header).
function(quintavo_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/${source} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${source})
endfunction()
set(QUINTAVO_DOC_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
set(QUINTAVO_MAN_GZ ${CMAKE_BINARY_DIR}/packaging/quintavo.1.gz)
quintavo_gzip(changelog ${QUINTAVO_DOC_GZ})
quintavo_gzip(quintavo.1 ${QUINTAVO_MAN_GZ})
add_custom_target(package_docs ALL DEPENDS ${QUINTAVO_DOC_GZ} ${QUINTAVO_MAN_GZ})

# The package step builds what the package holds and nothing else: the
# default target also builds the tests and the benchmark, so installing does
# not build it; CPack first builds the program and its documentation.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QUINTAVO_PACKAGE_BUILD ${CMAKE_BINARY_DIR}/packaging/build-payload.cmake)
file(WRITE ${QUINTAVO_PACKAGE_BUILD}
"execute_process(COMMAND \"${CMAKE_COMMAND}\" --build \"${CMAKE_BINARY_DIR}\" --target quintavo package_docs
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR \"building the program for the package failed\")
endif()
")
set(CPACK_INSTALL_SCRIPTS ${QUINTAVO_PACKAGE_BUILD})

# A stripped install (the package's) also drops the sections strip leaves in.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quintavo\")
endif()")
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${QUINTAVO_DOC_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${QUINTAVO_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quintavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_CONTACT "Quintavo developers <maintainers@quintavo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "folder space shown as a pie chart in a round window")
set(CPACK_PACKAGE_DESCRIPTION
"Quintavo shows, as a pie chart in a small round window, how the space of one
folder divides among its sub-folders: one slice per sub-folder (its whole tree
counted), one for the files lying directly in the folder and, at the root of a
file system, one for the free space. Clicking a slice opens that sub-folder,
hovering it gives its size. The interface is in French.
.
Quintavo only reads the disk: it writes nothing and keeps no settings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's fonts are mapped to DejaVu Sans, which no library pulls in.
# Qt's French catalogue (the folder browser's and the message boxes' texts)
# comes only as a recommendation of Qt's core library: an install without
# recommendations would show Qt's dialogs in English.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, qt6-translations-l10n")
# Qt's Wayland plugin: a session without an X11 server shows the window
# through it (the program prefers X11 wherever there is one).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Directories and files as Debian expects them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
