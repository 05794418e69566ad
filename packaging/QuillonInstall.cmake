# Install helpers shared by the folders that install documentation.

# quillon_install_gzipped(<file> <destination>): installs <file> (a path in the build folder)
# compressed as <file>.gz, the way Debian wants documentation: gzip -9 without a name or time
# stamp, so that the same file always compresses to the same bytes. Compressed when the build is
# configured; a changed source configures the build again, and so compresses it again.
function(quillon_install_gzipped file destination)
  execute_process(COMMAND gzip -9nc INPUT_FILE ${file} OUTPUT_FILE ${file}.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${file}.gz DESTINATION ${destination})
endfunction()

# quillon_install_manpage(<page>): a manual page of this folder (name.N), its @PROJECT_VERSION@
# and @QUILLON_RELEASE_DATE@ filled in, installed compressed in section N of the manual.
function(quillon_install_manpage page)
  string(REGEX MATCH "[1-9]$" section ${page})
  configure_file(${page} ${CMAKE_CURRENT_BINARY_DIR}/${page} @ONLY)
  quillon_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/${page} ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
