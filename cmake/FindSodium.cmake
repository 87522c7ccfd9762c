# Finds libsodium, which ships a pkg-config file but no CMake package, and defines the
# imported target Sodium::Sodium. Installed beside velmysql's package config, so that
# find_dependency(Sodium) works for consumers of the static library too.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_SODIUM QUIET libsodium)
endif()
find_path(Sodium_INCLUDE_DIR sodium.h HINTS ${PC_SODIUM_INCLUDEDIR} ${PC_SODIUM_INCLUDE_DIRS})
find_library(Sodium_LIBRARY NAMES sodium libsodium HINTS ${PC_SODIUM_LIBDIR} ${PC_SODIUM_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Sodium REQUIRED_VARS Sodium_LIBRARY Sodium_INCLUDE_DIR
                                  VERSION_VAR PC_SODIUM_VERSION)
if(Sodium_FOUND AND NOT TARGET Sodium::Sodium)
  add_library(Sodium::Sodium UNKNOWN IMPORTED)
  set_target_properties(Sodium::Sodium PROPERTIES IMPORTED_LOCATION "${Sodium_LIBRARY}"
                        INTERFACE_INCLUDE_DIRECTORIES "${Sodium_INCLUDE_DIR}")
endif()
mark_as_advanced(Sodium_INCLUDE_DIR Sodium_LIBRARY)
