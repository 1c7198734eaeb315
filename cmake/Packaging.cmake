# `cpack -G DEB` in the build folder makes one Debian package per install
# component:
#  - rulecalc_<version>_<arch>.deb: everything `cmake --install` installs
#    (the rules without a component), under /usr, with the library's shlibs
#    file and ldconfig trigger;
#  - postgresql-<major>-rulecalc_<version>_<arch>.deb: the PostgreSQL
#    extension (component `postgresql`), in the server's own folders, when it
#    is built.
# Dependencies come from dpkg-shlibdeps (Debian's dpkg-dev).
#
# A Windows build (preset mingw) makes rulecalc-<version>-win32.zip instead:
# `cpack -G ZIP` there, the layout InstallWindows.cmake gives.
set(CPACK_PACKAGE_NAME rulecalc)
set(CPACK_PACKAGE_VENDOR "The rulecalc developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME rulecalc-${PROJECT_VERSION}-win32)
  include(CPack)
  return()
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The rulecalc developers")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)

# The rulecalc package's settings are the common ones: with the extension
# not built, CPack makes that one package without components. Each
# description starts with its package's own summary line (the common
# CPACK_PACKAGE_DESCRIPTION_SUMMARY would head every package's).
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME rulecalc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "embeddable rule calculator: library, command-line tool
A host hands the library one sentence of a small rule language, sets variables, analyses and runs it, and gets true or false and, when false, an explanation. The package holds the shared and static library, the batch engine library (librulecalc_batch: rules files against CSV data, with reports), the C headers, the pkg-config file and CMake package, and the rulecalc command-line tool.")

if(RULECALC_PG_PACKAGE)
  set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_NAME ${RULECALC_PG_PACKAGE}-rulecalc)
  set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_SECTION database)
  set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_DEPENDS ${RULECALC_PG_PACKAGE})
  set(CPACK_DEBIAN_POSTGRESQL_DESCRIPTION "rule calculator extension for ${RULECALC_PG_PACKAGE}
The rulecalc extension checks rules where the records live: the columns of a row are the rule's variables. It holds the library linked in, so it needs no other rulecalc package. Load it with CREATE EXTENSION rulecalc.")
endif()
include(CPack)
