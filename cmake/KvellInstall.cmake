# What `cmake --install` and the Debian packages ship. A folder marks each
# shipped target with one call next to its add_library/add_executable:
#
#   kvell_install_library(<target> [FIND_DEPENDENCY <find_package args...>]
#                                  [PKG_CONFIG_REQUIRES <modules...>])
#     A static library of the layer, exported as Kvell::<name> (the target's
#     name without "kvell_"), with its folder's public headers under
#     include/kvell/<folder>/, so consumers keep the in-tree include paths.
#     A library that needs another package (FIND_DEPENDENCY Qt6 COMPONENTS
#     Widgets) is loaded only as a named component: find_package(Kvell
#     COMPONENTS <name>); PKG_CONFIG_REQUIRES names that package's modules.
#
#   kvell_install_program(<target> COMPONENT viewer|browse|dev|ociemu [DESTINATION <dir>])
#     An executable, in bin/ unless DESTINATION says otherwise.
#
# kvell_finish_install(), called once every target exists (after
# kvell_finish_targets, which knows each folder's public headers), writes the
# library rules, the CMake package and the pkg-config files.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KVELL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kvell)
set(KVELL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kvell)
set(KVELL_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(KVELL_DEV_PACKAGE_NAME libkvell-dev)
# Documentation lies where the development package's own does.
set(KVELL_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${KVELL_DEV_PACKAGE_NAME})
# The ociemu Oracle home: ORACLE_HOME=<prefix>/lib/ociemu finds lib/libclntsh.so.
set(KVELL_INSTALL_ORACLE_HOME ${CMAKE_INSTALL_LIBDIR}/ociemu)
# The viewer's simulated reader tools; the viewer also knows its installed
# layout by them.
set(KESTRA_INSTALL_TOOLS_DIR ${CMAKE_INSTALL_LIBDIR}/kestra/reader-sim)

function(kvell_install_library target)
  cmake_parse_arguments(ARG "" "" "FIND_DEPENDENCY;PKG_CONFIG_REQUIRES" ${ARGN})
  string(REGEX REPLACE "^kvell_" "" name ${target})
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${name}
    KVELL_FIND_DEPENDENCY "${ARG_FIND_DEPENDENCY}"
    KVELL_PKG_CONFIG_REQUIRES "${ARG_PKG_CONFIG_REQUIRES}")
  # The headers need C++20; consumers inherit that through the target.
  target_compile_features(${target} PUBLIC cxx_std_20)
  add_library(Kvell::${name} ALIAS ${target})
  set_property(GLOBAL APPEND PROPERTY KVELL_INSTALLED_LIBRARIES ${target})
endfunction()

function(kvell_install_program target)
  cmake_parse_arguments(ARG "" "COMPONENT;DESTINATION" "" ${ARGN})
  if(NOT ARG_COMPONENT)
    message(FATAL_ERROR "kvell_install_program(${target}) needs a COMPONENT")
  endif()
  if(NOT ARG_DESTINATION)
    set(ARG_DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${ARG_DESTINATION} COMPONENT ${ARG_COMPONENT})
endfunction()

# The libraries that the plain export set holds, and those that load as components.
function(_kvell_split_libraries libraries plain_out optional_out)
  set(plain "")
  set(optional "")
  foreach(target ${libraries})
    get_target_property(dependency ${target} KVELL_FIND_DEPENDENCY)
    if(dependency)
      list(APPEND optional ${target})
    else()
      list(APPEND plain ${target})
    endif()
  endforeach()
  # A plain library must not need one that loads only on request.
  foreach(target ${plain})
    get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
    foreach(link ${links})
      if(link IN_LIST optional)
        message(FATAL_ERROR "${target} links ${link}, which needs another package: give ${target} "
          "the same FIND_DEPENDENCY")
      endif()
    endforeach()
  endforeach()
  set(${plain_out} ${plain} PARENT_SCOPE)
  set(${optional_out} ${optional} PARENT_SCOPE)
endfunction()

function(_kvell_install_library_files target export_set)
  install(TARGETS ${target} EXPORT ${export_set}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
    INCLUDES DESTINATION ${KVELL_INSTALL_INCLUDEDIR})
  get_target_property(headers ${target} KVELL_PUBLIC_HEADER_FILES)
  get_target_property(folder ${target} KVELL_HEADER_FOLDER)
  # Two libraries of one folder (filter, filter_column) share its headers.
  get_property(folders_done GLOBAL PROPERTY KVELL_INSTALLED_HEADER_FOLDERS)
  if(headers AND NOT folder IN_LIST folders_done)
    install(FILES ${headers} DESTINATION ${KVELL_INSTALL_INCLUDEDIR}/${folder} COMPONENT dev)
    set_property(GLOBAL APPEND PROPERTY KVELL_INSTALLED_HEADER_FOLDERS ${folder})
  endif()
endfunction()

# A component's loader: its package first, then its targets.
function(_kvell_write_component_loader target loader_file)
  get_target_property(name ${target} EXPORT_NAME)
  get_target_property(dependency ${target} KVELL_FIND_DEPENDENCY)
  list(GET dependency 0 package)
  string(REPLACE ";" " " find_args "${dependency}")
  file(WRITE ${loader_file}
    "# Loads Kvell::${name} when ${package} is at hand.\n"
    "find_package(${find_args} QUIET)\n"
    "if(${package}_FOUND)\n"
    "  include(\"\${CMAKE_CURRENT_LIST_DIR}/Kvell-${name}-targets.cmake\")\n"
    "endif()\n")
endfunction()

function(_kvell_install_cmake_package plain optional)
  set(cmake_dir ${PROJECT_BINARY_DIR}/cmake-package)
  install(EXPORT KvellTargets NAMESPACE Kvell:: DESTINATION ${KVELL_INSTALL_CMAKEDIR}
    FILE Kvell-targets.cmake COMPONENT dev)
  set(KVELL_OPTIONAL_COMPONENTS "")
  foreach(target ${optional})
    get_target_property(name ${target} EXPORT_NAME)
    list(APPEND KVELL_OPTIONAL_COMPONENTS ${name})
    install(EXPORT Kvell-${name} NAMESPACE Kvell:: DESTINATION ${KVELL_INSTALL_CMAKEDIR}
      FILE Kvell-${name}-targets.cmake COMPONENT dev)
    _kvell_write_component_loader(${target} ${cmake_dir}/Kvell-${name}-component.cmake)
    install(FILES ${cmake_dir}/Kvell-${name}-component.cmake DESTINATION ${KVELL_INSTALL_CMAKEDIR} COMPONENT dev)
  endforeach()
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KvellConfig.cmake.in ${cmake_dir}/KvellConfig.cmake
    INSTALL_DESTINATION ${KVELL_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${cmake_dir}/KvellConfigVersion.cmake COMPATIBILITY SameMinorVersion)
  install(FILES ${cmake_dir}/KvellConfig.cmake ${cmake_dir}/KvellConfigVersion.cmake
    DESTINATION ${KVELL_INSTALL_CMAKEDIR} COMPONENT dev)
endfunction()

# The pkg-config modules a library requires and the linker flags it adds of its own.
function(_kvell_pkg_config_links target requires_out libs_out)
  get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
  get_target_property(requires ${target} KVELL_PKG_CONFIG_REQUIRES)
  if(NOT requires)
    set(requires "")
  endif()
  set(libs "-l${target}")
  foreach(link ${links})
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
    if(TARGET ${link})
      get_target_property(aliased ${link} ALIASED_TARGET)
      if(aliased)
        set(link ${aliased})
      endif()
    endif()
    if(link STREQUAL "Threads::Threads")
      list(APPEND libs -pthread)
    elseif(TARGET ${link} AND link MATCHES "^kvell_")
      string(REPLACE "_" "-" module ${link})
      list(APPEND requires ${module})
    elseif(NOT link MATCHES "::" AND NOT TARGET ${link})
      list(APPEND libs -l${link})
    endif()  # other packages' targets come in through PKG_CONFIG_REQUIRES
  endforeach()
  string(REPLACE ";" " " requires "${requires}")
  string(REPLACE ";" " " libs "${libs}")
  set(${requires_out} "${requires}" PARENT_SCOPE)
  set(${libs_out} "${libs}" PARENT_SCOPE)
endfunction()

function(_kvell_write_pkg_config file module description requires libs)
  file(RELATIVE_PATH to_prefix /root/${KVELL_INSTALL_PKGCONFIGDIR} /root)
  string(REGEX REPLACE "/$" "" to_prefix "${to_prefix}")
  file(WRITE ${file}
    "prefix=\${pcfiledir}/${to_prefix}\n"
    "libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}\n"
    "includedir=\${prefix}/${KVELL_INSTALL_INCLUDEDIR}\n\n"
    "Name: ${module}\n"
    "Description: ${description}\n"
    "Version: ${PROJECT_VERSION}\n"
    "Requires: ${requires}\n"
    "Cflags: -I\${includedir}\n"
    "Libs: ${libs}\n")
  install(FILES ${file} DESTINATION ${KVELL_INSTALL_PKGCONFIGDIR} COMPONENT dev)
endfunction()

# One module a library (kvell-session, ...) and kvell, the whole layer but the
# libraries that need another package.
function(_kvell_install_pkg_config plain optional)
  set(pc_dir ${PROJECT_BINARY_DIR}/pkgconfig)
  foreach(target ${plain} ${optional})
    string(REPLACE "_" "-" module ${target})
    _kvell_pkg_config_links(${target} requires libs)
    _kvell_write_pkg_config(${pc_dir}/${module}.pc ${module} "Kvell Oracle access layer: ${target}"
      "${requires}" "-L\${libdir} ${libs}")
  endforeach()
  string(REPLACE "_" "-" everything "${plain}")
  string(REPLACE ";" " " everything "${everything}")
  _kvell_write_pkg_config(${pc_dir}/kvell.pc kvell "Kvell Oracle access layer" "${everything}" "")
endfunction()

function(kvell_finish_install)
  get_property(libraries GLOBAL PROPERTY KVELL_INSTALLED_LIBRARIES)
  _kvell_split_libraries("${libraries}" plain optional)
  foreach(target ${plain})
    _kvell_install_library_files(${target} KvellTargets)
  endforeach()
  foreach(target ${optional})
    get_target_property(name ${target} EXPORT_NAME)
    _kvell_install_library_files(${target} Kvell-${name})
  endforeach()
  if(plain)
    _kvell_install_cmake_package("${plain}" "${optional}")
    _kvell_install_pkg_config("${plain}" "${optional}")
  endif()
endfunction()
