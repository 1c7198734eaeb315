# `cpack -G DEB` in the build folder makes rulecalc_<version>_<arch>.deb of
# everything `cmake --install` installs, under /usr. Its dependencies come
# from dpkg-shlibdeps (Debian's dpkg-dev), and the library's shlibs file and
# ldconfig trigger are generated.
set(CPACK_PACKAGE_NAME rulecalc)
set(CPACK_PACKAGE_VENDOR "The rulecalc developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "embeddable rule calculator: library, command-line tool")
set(CPACK_PACKAGE_DESCRIPTION
  "A host hands the library one sentence of a small rule language, sets variables, analyses and runs it, and gets true or false and, when false, an explanation. The package holds the shared and static library, the C header, the pkg-config file and CMake package, and the rulecalc command-line tool.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The rulecalc developers")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
