# velmysql_dependency([PUBLIC] [FIND <find_package arguments...>] TARGETS <what the library links...>
#                     [PKGCONFIG <pkg-config modules...>] [LIBS <linker flags...>]
#                     [DEB <Debian packages a developer needs...>])
#
# One call per library that velmysql links. A dependency shows in five places that must
# agree, and this call is the only one to edit when a dependency comes or goes:
#   - find_package(<FIND arguments> REQUIRED) here, in the build;
#   - the link of both libraries: private to the shared one; the static archive passes it on
#     to whoever links it (exported as $<LINK_ONLY:...>), so a static link is complete;
#   - find_dependency(<FIND arguments>) in the installed velmysqlConfig.cmake;
#   - velmysql.pc: PKGCONFIG modules in Requires.private, LIBS in Libs.private;
#   - the Depends of the libvelmysql-dev package (DEB), since the package config and a
#     static link need the dependency's development files. The runtime package's Depends
#     come from dpkg-shlibdeps.
# PUBLIC marks a dependency the public headers need themselves (threads: the headers hold
# std::mutex members): consumers of both libraries link it, and LIBS go to Libs.
#
# A dependency without a CMake package (e.g. libsodium, which ships only a .pc file) needs
# a Find<Name>.cmake under cmake/ that is installed beside the package config as well.
#
# Results, read by CMakeLists.txt after the calls:
#   VELMYSQL_PUBLIC_LINK, VELMYSQL_PRIVATE_LINK       targets and libraries
#   VELMYSQL_FIND_DEPENDENCIES                         lines for the package config
#   VELMYSQL_PC_REQUIRES_PRIVATE, VELMYSQL_PC_LIBS, VELMYSQL_PC_LIBS_PRIVATE
#   VELMYSQL_DEB_DEV_DEPENDS                           comma-separated
function(velmysql_dependency)
  cmake_parse_arguments(PARSE_ARGV 0 dep "PUBLIC" "" "FIND;TARGETS;PKGCONFIG;LIBS;DEB")
  if(dep_UNPARSED_ARGUMENTS OR NOT dep_TARGETS)
    message(FATAL_ERROR "velmysql_dependency: TARGETS needed; unknown arguments: ${dep_UNPARSED_ARGUMENTS}")
  endif()
  if(dep_FIND)
    find_package(${dep_FIND} REQUIRED)
    list(JOIN dep_FIND " " find_args)
    set(VELMYSQL_FIND_DEPENDENCIES "${VELMYSQL_FIND_DEPENDENCIES}find_dependency(${find_args})\n" PARENT_SCOPE)
  endif()
  if(dep_PUBLIC)
    list(APPEND VELMYSQL_PUBLIC_LINK ${dep_TARGETS})
    list(APPEND VELMYSQL_PC_LIBS ${dep_LIBS})
  else()
    list(APPEND VELMYSQL_PRIVATE_LINK ${dep_TARGETS})
    list(APPEND VELMYSQL_PC_LIBS_PRIVATE ${dep_LIBS})
  endif()
  list(APPEND VELMYSQL_PC_REQUIRES_PRIVATE ${dep_PKGCONFIG})
  if(dep_DEB)
    list(JOIN dep_DEB ", " deb)
    if(VELMYSQL_DEB_DEV_DEPENDS)
      set(deb "${VELMYSQL_DEB_DEV_DEPENDS}, ${deb}")
    endif()
    set(VELMYSQL_DEB_DEV_DEPENDS "${deb}" PARENT_SCOPE)
  endif()
  foreach(var VELMYSQL_PUBLIC_LINK VELMYSQL_PRIVATE_LINK VELMYSQL_PC_LIBS VELMYSQL_PC_LIBS_PRIVATE
              VELMYSQL_PC_REQUIRES_PRIVATE)
    set(${var} "${${var}}" PARENT_SCOPE)
  endforeach()
endfunction()
