# Debian packages of the install rules, built by `cpack -G DEB` in a build tree
# (scripts/package does that):
#   libvelmysql<SOVERSION>  component runtime: the shared library
#   libvelmysql-dev         component dev: headers, static library, CMake package, velmysql.pc
#   velmysql                component programs: what apps/ installs, once it installs anything
# Included last, so that every install rule is known: one package per component in use.
# Each description's first line is the package's synopsis.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmysql)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "velmysql developers <velmysql-dev@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The packaged libraries without their debugging sections; CPACK_STRIP_FILES does the
# shared library, the script the static archive (which CMake never strips).
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/VelmysqlStripArchives.cmake)

get_cmake_property(CPACK_COMPONENTS_ALL COMPONENTS)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends of the packages with ELF files come from dpkg-shlibdeps; the shared library's
# package gets a shlibs file (and the ldconfig trigger) for packages built against it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvelmysql${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "MySQL data-access components for C++ - shared library
velmysql connects to MySQL and MariaDB servers through its own wire-protocol client, the
MySQL client library or the embedded server, and presents results as datasets.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvelmysql-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The dev package needs the exact shared library beside it and the development files of
# the dependencies that the package config and a static link ask for.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${CPACK_PACKAGE_VERSION})")
if(VELMYSQL_DEB_DEV_DEPENDS)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", ${VELMYSQL_DEB_DEV_DEPENDS}")
endif()
set(CPACK_DEBIAN_DEV_DESCRIPTION "MySQL data-access components for C++ - development files
Headers, the static library, the CMake package (find_package(velmysql)) and the
pkg-config file (velmysql.pc).")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME velmysql)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "MySQL data-access components for C++ - programs
The command-line programs built on velmysql.")

include(CPack)
