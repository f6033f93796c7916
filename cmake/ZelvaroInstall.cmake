# What "make install" puts under the prefix, and the Debian package made from it with CPack.
# Debian's own names are used where GNUInstallDirs would differ (the documentation folder).

set(ZELVARO_MAINTAINER "Zelvaro maintainers <maintainers@users.noreply.c-seed-aecbf8e6.example>")
set(ZELVARO_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/zelvaro)
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(generated ${PROJECT_BINARY_DIR}/dist)

target_link_libraries(zelvaro-archivio PRIVATE zelvaro_version)
install(TARGETS zelvaro zelvaro-archivio RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Without the compilers' notes, as Debian strips programs.
install(CODE "foreach(program zelvaro zelvaro-archivio)
  execute_process(COMMAND objcopy --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
endforeach()")

install(FILES ${dist}/${ZELVARO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/${ZELVARO_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${dist}/${ZELVARO_APP_ID}.metainfo.xml.in ${generated}/${ZELVARO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${generated}/${ZELVARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog go compressed, without a time stamp, as Debian wants them.
execute_process(COMMAND date -u -R -d ${ZELVARO_RELEASE_DATE}
  OUTPUT_VARIABLE ZELVARO_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(compressed)
foreach(file zelvaro.1 zelvaro-archivio.1 changelog)
  configure_file(${dist}/${file}.in ${generated}/${file} @ONLY)
  add_custom_command(OUTPUT ${generated}/${file}.gz
    COMMAND gzip -9nkf ${file}
    DEPENDS ${generated}/${file} WORKING_DIRECTORY ${generated} VERBATIM)
  list(APPEND compressed ${generated}/${file}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})
install(FILES ${generated}/zelvaro.1.gz ${generated}/zelvaro-archivio.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# README: where the hours live and how to copy them.
install(FILES ${generated}/changelog.gz ${dist}/copyright ${dist}/README DESTINATION ${ZELVARO_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZELVARO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "registro delle ore lavorate")
set(CPACK_PACKAGE_DESCRIPTION "Zelvaro tiene il registro delle ore lavorate: per ogni giorno fino a tre
periodi con l'ora di inizio e di fine, la durata di ogni periodo, il totale
del giorno e il totale progressivo, e la stampa dell'elenco con i totali.
Il riepilogo delle ore per mese e per settimana, il foglio ore del mese, il
saldo rispetto all'orario contrattuale con le assenze, una copia di sicurezza
al giorno. Lo strumento zelvaro-archivio importa i vecchi archivi Access,
esporta in CSV, verifica, ripara e copia l'archivio.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window icon is drawn by Qt's svg plugin, which no binary links and dpkg-shlibdeps cannot see;
# Qt's own texts (buttons, file dialogs) are Italian through the translations Qt loads at start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-translations-l10n")
include(CPack)
