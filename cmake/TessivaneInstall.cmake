# Installation, the Debian package, and the test of the start script.
#
# The programs find their companions beside themselves: the Data Source
# Manager beside the executable, the data sources in twain_sources/ and the
# source chooser beside the manager, profiles and plug-ins in the program's
# folder. So all of them live in one private folder, and the commands in bin/
# are links into it (the programs resolve the link to find that folder).
include(GNUInstallDirs)

set(TESSIVANE_INSTALL_APPDIR lib/tessivane)

set(TESSIVANE_PROGRAMS tessivane tessivane-cli tessivane-source-chooser tessivane-sane-options)
set(TESSIVANE_COMMANDS tessivane tessivane-cli)

set_target_properties(${TESSIVANE_PROGRAMS} tessivane_dsm tessivane_pagemem PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(tessivane_virtual tessivane_sane PROPERTIES INSTALL_RPATH "$ORIGIN/..")

install(TARGETS ${TESSIVANE_PROGRAMS} RUNTIME DESTINATION ${TESSIVANE_INSTALL_APPDIR})
install(TARGETS tessivane_dsm tessivane_pagemem LIBRARY DESTINATION ${TESSIVANE_INSTALL_APPDIR})
install(TARGETS tessivane_virtual tessivane_sane LIBRARY DESTINATION ${TESSIVANE_INSTALL_APPDIR}/twain_sources)

# The help pages go to the data folder. The program finds them from its own
# folder: installed, from lib/tessivane; in the build tree, from bin/, where
# share/tessivane/help is a link to the pages in the sources.
set(TESSIVANE_INSTALL_HELPDIR ${CMAKE_INSTALL_DATADIR}/tessivane/help)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/help/ DESTINATION ${TESSIVANE_INSTALL_HELPDIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_DATADIR}/tessivane)
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/docs/help ${CMAKE_BINARY_DIR}/${TESSIVANE_INSTALL_HELPDIR} SYMBOLIC)
file(RELATIVE_PATH help_installed /${TESSIVANE_INSTALL_APPDIR} /${TESSIVANE_INSTALL_HELPDIR})
file(RELATIVE_PATH help_built ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/${TESSIVANE_INSTALL_HELPDIR})
target_compile_definitions(tessivane_app PRIVATE TESSIVANE_HELP_FROM_PROGRAM="${help_installed}:${help_built}")

# What a plug-in writer needs: the public headers and the sample modules'
# sources, laid out as in sdk/ so that "-I<sdk>" finds "tessivane/plugin.h";
# the block library they link with is libtessivane_pagemem.so in the program folder.
set(TESSIVANE_INSTALL_SDKDIR ${CMAKE_INSTALL_DATADIR}/tessivane/sdk)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sdk/tessivane DESTINATION ${TESSIVANE_INSTALL_SDKDIR})
install(FILES ${CMAKE_SOURCE_DIR}/sdk/SOURCES.md DESTINATION ${TESSIVANE_INSTALL_SDKDIR})
install(FILES ${CMAKE_SOURCE_DIR}/sdk/samples/threshold.c ${CMAKE_SOURCE_DIR}/sdk/samples/scripted.c
        DESTINATION ${TESSIVANE_INSTALL_SDKDIR}/samples)

foreach(command IN LISTS TESSIVANE_COMMANDS)
  file(RELATIVE_PATH target /${CMAKE_INSTALL_BINDIR} /${TESSIVANE_INSTALL_APPDIR}/${command})
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${command}\")
    message(STATUS \"Installing: \${link} -> ${target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)")
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessivane)
set(CPACK_PACKAGE_VENDOR Vellumtrace)
set(CPACK_PACKAGE_CONTACT "Vellumtrace <packages@vellumtrace.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Document capture: scan paper into a batch and save it as TIFF or PDF")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Scans pages from TWAIN scanners into a batch folder, shows the batch as thumbnails beside a zooming "
    "page viewer, corrects pages (rotation, mirroring, negative, deskew, despeckle) and saves the batch as "
    "one multi-page TIFF or PDF file. Includes tessivane-cli, the page libraries from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The profile file-type association refreshes the desktop's caches with these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
# dpkg-shlibdeps finds the page-memory library, which the package itself holds, here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
include(CPack)

if(TESSIVANE_TESTS)
  add_test(NAME install.InstalledTreeRuns
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-install.sh ${CMAKE_BINARY_DIR} "${TESSIVANE_COMMANDS}")
  add_test(NAME install.DebianPackage
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check-package.sh ${CMAKE_BINARY_DIR} "${TESSIVANE_COMMANDS}")
  add_test(NAME scripts.RunStartsTheWindowOnTheDemoBatch
           COMMAND ${CMAKE_SOURCE_DIR}/tests/scripts/check-run-script.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install.InstalledTreeRuns install.DebianPackage scripts.RunStartsTheWindowOnTheDemoBatch
                       PROPERTIES LABELS install TIMEOUT 600)
  # The run-script check starts a virtual display, as the window tests do.
  set_tests_properties(scripts.RunStartsTheWindowOnTheDemoBatch PROPERTIES RESOURCE_LOCK virtual_display)
endif()
