# Installation under a prefix and the Debian package (make install, make package).
#   PREFIX/bin/areaclip                          the program
#   PREFIX/lib/areaclip/                         the module, the window library and the
#                                                platform libraries, private to the program
#   PREFIX/share/areaclip/templates/Normal.mxt   the normal template
#   PREFIX/share/man/man1, share/bash-completion the manual pages and completion (host/)
#   PREFIX/share/qgis/python/plugins/areaclip_plugin  the QGIS plugin
# The program finds the module beside itself in a build tree and in ../lib/areaclip when
# installed; its RUNPATH names that folder relative to itself, so the tree can move.
include(GNUInstallDirs)

set(AREACLIP_PRIVATE_LIBDIR lib/areaclip)

set(installed_libraries "")
foreach(target areaclip_win32 areaclip_toolkit areaclip_toolkit_qt areaclip_gis_core areaclip_gis
               areaclip_window vot_arcmap_areaclip)
  if(TARGET ${target})
    list(APPEND installed_libraries ${target})
  endif()
endforeach()

if(TARGET areaclip)
  set_target_properties(areaclip PROPERTIES INSTALL_RPATH "$ORIGIN/../${AREACLIP_PRIVATE_LIBDIR}")
  install(TARGETS areaclip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
set_target_properties(${installed_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${installed_libraries}
        LIBRARY DESTINATION ${AREACLIP_PRIVATE_LIBDIR}
        RUNTIME DESTINATION ${AREACLIP_PRIVATE_LIBDIR})

install(FILES ${CMAKE_SOURCE_DIR}/resources/templates/Normal.mxt DESTINATION ${CMAKE_INSTALL_DATADIR}/areaclip/templates)

# The manual pages and the bash completion are installed by host/CMakeLists.txt, where they
# are made.

install(DIRECTORY ${CMAKE_SOURCE_DIR}/qgis/areaclip_plugin DESTINATION ${CMAKE_INSTALL_DATADIR}/qgis/python/plugins
        PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME areaclip)
set(CPACK_PACKAGE_VERSION ${AREACLIP_VERSION})
set(CPACK_PACKAGE_CONTACT "areaclip developers <areaclip@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cuts a map document to a polygon or a map sheet")
set(CPACK_PACKAGE_DESCRIPTION "areaclip cuts every layer of a map document (or a QGIS project) to a
polygon or a map sheet into shapefiles and writes the cut document beside them. It comes
with a map window (areaclip open) and a QGIS Processing plugin.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The package depends on the Debian libraries its files link (GDAL, GEOS, PROJ, Qt 6,
# libxml2), as dpkg-shlibdeps finds them; the program's own libraries are private.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis, python3-qgis")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
include(CPack)
