# Installing like a desktop program: the module, its headers and the host vendor's libraries for
# other host programs (find_package(VelkSystemAlert), target VelkSystemAlert::VelkSystemAlert),
# velk-host with its menu entry, icons and demo day, and a Debian package of all of it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/VelkSystemAlert)
set(VELK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/VelkSystemAlert)

# What a host program includes to drive the engine and to fill the quote service.
target_include_directories(VelkSystemAlert INTERFACE
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/engine>" "$<INSTALL_INTERFACE:${VELK_INSTALL_INCLUDEDIR}>")
target_link_libraries(VelkSystemAlert INTERFACE KQHost)
target_include_directories(KQHost INTERFACE "$<INSTALL_INTERFACE:${VELK_INSTALL_INCLUDEDIR}>")

set(VELK_INSTALL_TARGETS VelkSystemAlert KQHost)
set(VELK_INSTALL_HEADERS
  engine/CVelkAlert.h engine/VelkExport.h engine/VelkRecords.h engine/VelkServices.h
  hostapi/KQApiExport.h hostapi/KQBkApi.h hostapi/KQCommon.h hostapi/KQDaApi.h hostapi/QuoteItems.h
  hostlibs/CQuoteStore.h hostlibs/IHostBackend.h)
if(VELK_BUILD_UI)
  list(APPEND VELK_INSTALL_TARGETS KQDialog VelkPlatform)
  target_include_directories(KQDialog INTERFACE "$<INSTALL_INTERFACE:${VELK_INSTALL_INCLUDEDIR}>")
  target_include_directories(VelkPlatform INTERFACE "$<INSTALL_INTERFACE:${VELK_INSTALL_INCLUDEDIR}>")
  list(APPEND VELK_INSTALL_HEADERS hostapi/KQDialog.h
    platform/qt/MessageBoxService.h platform/qt/QtText.h platform/qt/RegisteredMessages.h
    platform/qt/VelkPlatformExport.h)
endif()
list(TRANSFORM VELK_INSTALL_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/)

install(TARGETS ${VELK_INSTALL_TARGETS} EXPORT VelkSystemAlertTargets
  LIBRARY DESTINATION ${VELK_INSTALL_PRIVATE_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELK_INSTALL_HEADERS} DESTINATION ${VELK_INSTALL_INCLUDEDIR})
install(EXPORT VelkSystemAlertTargets NAMESPACE VelkSystemAlert:: DESTINATION ${VELK_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VelkSystemAlertConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelkSystemAlertConfig.cmake INSTALL_DESTINATION ${VELK_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelkSystemAlertConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelkSystemAlertConfig.cmake
  ${PROJECT_BINARY_DIR}/VelkSystemAlertConfigVersion.cmake DESTINATION ${VELK_INSTALL_CMAKEDIR})

set_target_properties(velk-host velk-feed PROPERTIES INSTALL_RPATH "$ORIGIN/../${VELK_INSTALL_PRIVATE_LIBDIR}")
install(TARGETS velk-host velk-feed RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The package's documentation: the licence and the demo data's attribution in Debian's copyright
# format, and the changelog, compressed as Debian keeps it.
set(VELK_PACKAGE_MAINTAINER "VelkSystemAlert Maintainers <velk-system-alert@lists.velk.dev>"
  CACHE STRING "The Debian package's maintainer, name and address")
set(VELK_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velk-system-alert)
find_program(VELK_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${VELK_GZIP} -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
set(VELK_PACKAGE_DOCS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${VELK_INSTALL_DOCDIR})

# velk-host's manual page, made from its --help by help2man.
find_program(VELK_HELP2MAN help2man)
if(VELK_HELP2MAN)
  set(man ${PROJECT_BINARY_DIR}/packaging/velk-host.1)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${VELK_HELP2MAN} --no-info --no-discard-stderr --section=1
      "--name=replays trading days through the VelkSystemAlert stock alert module"
      --version-string=${PROJECT_VERSION} --output=${man} $<TARGET_FILE:velk-host>
    COMMAND ${VELK_GZIP} -9nf ${man}
    DEPENDS velk-host VERBATIM)
  list(APPEND VELK_PACKAGE_DOCS ${man}.gz)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: velk-host is installed without its manual page")
endif()
add_custom_target(velk_package_docs ALL DEPENDS ${VELK_PACKAGE_DOCS})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/demo-day DESTINATION ${CMAKE_INSTALL_DATADIR}/velk-host
  PATTERN EXPECTED.txt EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/demo-root/SYS DESTINATION ${CMAKE_INSTALL_DATADIR}/velk-host/demo-root)
if(VELK_BUILD_UI)
  install(FILES ${PROJECT_SOURCE_DIR}/host/desktop/velk-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/host/desktop/velk-host.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/host/desktop/icons/velk-host-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME velk-host.png)
  endforeach()
endif()

# cpack -G DEB: one package with the program, the libraries and the files for building against
# them, installed under /usr. The libraries are private (no SONAME of their own to share), so
# the package needs no ldconfig trigger.
set(CPACK_PACKAGE_NAME velk-system-alert)
set(CPACK_PACKAGE_VENDOR "VelkSystemAlert")
set(CPACK_PACKAGE_CONTACT "${VELK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Stock-market alert module with a trading-day replay desktop program")
set(CPACK_PACKAGE_DESCRIPTION "The VelkSystemAlert module raises price, new-high, new-low,
limit-price and magic-signal alerts for a quote application. velk-host
replays a trading day through it with a quote board, replay controls,
intraday charts and the module's own windows.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libsimdjson14 (>= 3.0), libnats3.4 (>= 3.4)")
if(VELK_BUILD_UI)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)"
    ", libqt6charts6 (>= 6.4), libsdl2-2.0-0 (>= 2.0.20), fonts-wqy-microhei")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-base-dev, qt6-charts-dev, libsdl2-dev, cmake")
  # Qt's own dialog and message-box texts in the user's language.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
