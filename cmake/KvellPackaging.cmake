# Debian packages of the install components (cpack -G DEB in the build tree):
#   kestra        the viewer and its simulated reader tools (component viewer)
#   kvell-browse  the query browser on the Qt binding (component browse)
#   libkvell-dev  the layer's static libraries, headers, CMake and pkg-config
#                 files, API reference and kvell-blob (component dev)
#   ociemu        the stand-in client library as an Oracle home (component ociemu)
# Versions come from the project's VERSION; dependencies on shared libraries
# come from dpkg-shlibdeps, so the viewer needs Qt 6 and the C++ runtime only.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestra-kvell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestra and Kvell maintainers <maintainers@kestra-kvell.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL dev ociemu)
if(TARGET kestra)
  list(APPEND CPACK_COMPONENTS_ALL viewer)
endif()
if(TARGET kvell-browse)
  list(APPEND CPACK_COMPONENTS_ALL browse)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# liboramts.so links libociemu.so from its own package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/ociemu/api)

set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME kestra)
set(CPACK_DEBIAN_VIEWER_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_VIEWER_DESCRIPTION "Token card status viewer
 Shows the state of a token card (card number, tokens left, validity and
 holder) read by the reader tools READACC.EXE and READZET.EXE. Simulated
 tools for demonstrations lie in /usr/lib/kestra/reader-sim.")

set(CPACK_DEBIAN_BROWSE_PACKAGE_NAME kvell-browse)
set(CPACK_DEBIAN_BROWSE_PACKAGE_SECTION database)
# It runs on the embedded database unless ORACLE_HOME names another client.
set(CPACK_DEBIAN_BROWSE_PACKAGE_RECOMMENDS ociemu)
set(CPACK_COMPONENT_BROWSE_DESCRIPTION "Desktop browser for Oracle query results
 Logs on, opens a SQL text as a dataset and shows its rows in a grid with a
 navigator, a filter box and a master/detail pair. Runs on the embedded
 database of the ociemu package unless ORACLE_HOME names a client.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${KVELL_DEV_PACKAGE_NAME})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS ociemu)
if(TARGET kvell_qt)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS ", qt6-base-dev")  # for Kvell::qt
endif()
set(CPACK_COMPONENT_DEV_DESCRIPTION "Kvell Oracle access layer (development files)
 Static libraries and headers of Kvell, a C++20 layer that loads Oracle's
 client library at run time: sessions, queries, bind variables, LOBs, object
 types, pooling, background queries, datasets, filter expressions and blob
 compression. With a CMake package (find_package(Kvell)), pkg-config modules,
 the API reference and the kvell-blob tool.")

set(CPACK_DEBIAN_OCIEMU_PACKAGE_NAME ociemu)
set(CPACK_DEBIAN_OCIEMU_PACKAGE_SECTION database)
set(CPACK_COMPONENT_OCIEMU_DESCRIPTION "Stand-in for Oracle's client library over SQLite
 Exports the client library's entry points and runs SQL on embedded SQLite
 databases, laid out as an Oracle home: ORACLE_HOME=/usr/lib/ociemu.")

include(CPack)
