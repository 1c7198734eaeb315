# What `cmake --install` puts under the prefix: the libraries, the headers,
# the pkg-config file and CMake package, the tool with its manual page and
# bash completion, and the documents. Every path is relative to the prefix,
# so any --prefix given at install time works.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Windows has a layout of its own (the zip CPack makes).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/InstallWindows.cmake)
  return()
endif()

set(RULECALC_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rulecalc)

install(TARGETS rulecalc rulecalc_static EXPORT rulecalcTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET rulecalc_batch)
  install(TARGETS rulecalc_batch rulecalc_batch_static EXPORT rulecalcTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT rulecalcTargets NAMESPACE rulecalc:: DESTINATION ${RULECALC_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/rulecalcConfig.cmake.in
  ${PROJECT_BINARY_DIR}/rulecalcConfig.cmake INSTALL_DESTINATION ${RULECALC_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/rulecalcConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/rulecalcConfig.cmake ${PROJECT_BINARY_DIR}/rulecalcConfigVersion.cmake
  DESTINATION ${RULECALC_CMAKE_PACKAGE_DIR})

# The .pc file finds the prefix from its own place (pkg-config's pcfiledir).
file(RELATIVE_PATH RULECALC_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" RULECALC_PC_TO_PREFIX "${RULECALC_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/rulecalc.pc.in ${PROJECT_BINARY_DIR}/rulecalc.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rulecalc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET rulecalc_cli)
  install(TARGETS rulecalc_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(${PROJECT_SOURCE_DIR}/cli/share/rulecalc.1.in ${PROJECT_BINARY_DIR}/rulecalc.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/rulecalc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/cli/share/rulecalc.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME rulecalc)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md")
