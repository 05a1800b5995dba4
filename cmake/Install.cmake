# Where `cmake --install` puts the programs on Linux (the Debian package's layout). Every program
# finds its files beside itself, so the programs, the engine library, the version file and the
# sample loader share one private folder; the product list, which a site edits, lies under /etc
# and is reached from the private folder through a link that the package makes, as are the
# commands in /usr/bin.
include(GNUInstallDirs)
set(DEKVANTO_INSTALL_FOLDER lib/dekvanto)

install(TARGETS vanto RUNTIME DESTINATION ${DEKVANTO_INSTALL_FOLDER})
install(TARGETS mx40 LIBRARY DESTINATION ${DEKVANTO_INSTALL_FOLDER})
if(TARGET dekvanto)
  install(TARGETS dekvanto dekvanto-bench RUNTIME DESTINATION ${DEKVANTO_INSTALL_FOLDER})
endif()
# The program folder's files, as the build wrote them there (tools/bundle).
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/DEKVANTO.VRS
              ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/vanto_loader.bin
        DESTINATION ${DEKVANTO_INSTALL_FOLDER})
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dekvanto.cfg
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/dekvanto)
