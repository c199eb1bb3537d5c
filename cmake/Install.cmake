# Installation of ZIV and its Debian package (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS ziv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# ziv-workbook and ziv-gauge-sim carry their own install rules in tools/.
install(FILES packaging/ziv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/ziv.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
# The README's pictures keep their relative place beside it.
install(FILES README.md docs/operator-guide-ja.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ziv)
install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ziv/docs FILES_MATCHING PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ziv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZIV")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shop-floor dimensional inspection recorder")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "ZIV reads hand gauges and instruments over RS-232C serial lines, judges each value against\n"
    "the product master's nominal size and tolerances, and keeps one .xls workbook per operator,\n"
    "product, machine and day. A drawing editor marks the measurement points on the product\n"
    "drawing and exports it for the inspection report. Japanese user interface.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZIV developers <ziv@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The windows show Japanese text: IPA Gothic is the font they fall back to.
set(ZIV_FONT_PACKAGE fonts-ipafont-gothic)
find_program(ZIV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZIV_DPKG_SHLIBDEPS)
  # Qt, libgsf and the C++ runtime come from the programs' own links.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ZIV_FONT_PACKAGE}, qt6-translations-l10n")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6charts6 (>= 6.4), libqt6printsupport6 (>= 6.4), libgsf-1-114, ${ZIV_FONT_PACKAGE}, qt6-translations-l10n")
endif()
include(CPack)
