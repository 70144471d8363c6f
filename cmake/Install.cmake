# Installation of what consumers use: the header, the CMake package
# (dsm::dsm, with its version file) and the pkg-config file. The library,
# its host layer, the tool and the service install themselves where they
# are defined.
include(CMakePackageConfigHelpers)

set(DSM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/dsm)

install(FILES ${PROJECT_SOURCE_DIR}/include/dsm.h ${PROJECT_BINARY_DIR}/include/dsm_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Paths relative to the prefix, so that the package works wherever the
# install lands ("cmake --install --prefix DIR" included).
set(DSM_LIBRARY_FILE ${CMAKE_INSTALL_LIBDIR}/libdsm.so.${PROJECT_VERSION})
set(DSM_LIBRARY_SONAME libdsm.so.${PROJECT_VERSION_MAJOR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/dsmConfig.cmake.in
  ${PROJECT_BINARY_DIR}/dsmConfig.cmake INSTALL_DESTINATION ${DSM_CMAKE_DIR}
  PATH_VARS DSM_LIBRARY_FILE CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/dsmConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/dsmConfig.cmake ${PROJECT_BINARY_DIR}/dsmConfigVersion.cmake
  DESTINATION ${DSM_CMAKE_DIR})

# The .pc file finds the prefix from its own place, for the same reason.
file(RELATIVE_PATH DSM_PC_PREFIX_FROM_PCDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" DSM_PC_PREFIX_FROM_PCDIR "${DSM_PC_PREFIX_FROM_PCDIR}")
configure_file(${PROJECT_SOURCE_DIR}/libdsm.pc.in ${PROJECT_BINARY_DIR}/libdsm.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/libdsm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
