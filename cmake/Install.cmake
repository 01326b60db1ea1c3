# SPDX-License-Identifier: Apache-2.0
# `cmake --install`: the shared libraries (the nine exports, and their array forms) with
# their SONAME and version links, the public headers, a CMake package
# (find_package(eurocall CONFIG) -> eurocall::eurocall, eurocall::eurocall_array), a
# pkg-config file and the licence, in the GNUInstallDirs places. The tool installs
# itself (tools/).
include(CMakePackageConfigHelpers)

set(EUROCALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/eurocall)

install(TARGETS eurocall eurocall_array EXPORT eurocallTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/eurocall.h ${PROJECT_SOURCE_DIR}/include/eurocall_array.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
# With the runtime: whoever receives the library receives its licence.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Runtime)

install(EXPORT eurocallTargets NAMESPACE eurocall::
  DESTINATION ${EUROCALL_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/eurocallConfig.cmake.in
  ${PROJECT_BINARY_DIR}/eurocallConfig.cmake
  INSTALL_DESTINATION ${EUROCALL_CMAKE_DIR})
# Within one major version the nine exports keep their names and arguments.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/eurocallConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/eurocallConfig.cmake ${PROJECT_BINARY_DIR}/eurocallConfigVersion.cmake
  DESTINATION ${EUROCALL_CMAKE_DIR} COMPONENT Development)

# The .pc file finds the prefix from its own place, so an install with --prefix (or a
# moved tree) stays right: ${pcfiledir} is the pkgconfig directory under the libdir.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(EUROCALL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(EUROCALL_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(EUROCALL_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" up "${up}")
  set(EUROCALL_PC_PREFIX "\${pcfiledir}/${up}")
  set(EUROCALL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(EUROCALL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/eurocall.pc.in ${PROJECT_BINARY_DIR}/eurocall.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/eurocall.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
