# Installs the build tree into a staging prefix, builds examples/installed
# against it as a consumer's own project (the CMake package for one program,
# pkg-config for the other) and runs both on the installed ociemu home; with
# WITH_QT also a program on the installed Qt binding; with WITH_BROWSE the
# installed kvell-browse, which finds the installed ociemu home by itself;
# with WITH_VIEWER the installed viewer, whose data files go to the user's
# cache folder.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

set(stage ${WORK_DIR}/stage)
set(consumer ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})

kvell_run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})
kvell_run_step(${CMAKE_COMMAND} -G ${GENERATOR} -S ${SOURCE_DIR}/examples/installed -B ${consumer}
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${stage}
  -DWITH_QT=${WITH_QT})
# The staged package, not one installed elsewhere on the machine.
file(STRINGS ${consumer}/CMakeCache.txt kvell_dir REGEX "^Kvell_DIR:")
kvell_expect_match("=${stage}/" "${kvell_dir}" "Kvell package found")
kvell_run_step(${CMAKE_COMMAND} --build ${consumer})

set(home ${stage}/lib/ociemu)
kvell_run_step(${CMAKE_COMMAND} -E env ORACLE_HOME=${home}
  ${consumer}/query_with_binds ${WORK_DIR}/query.db)
kvell_expect_match("ALLEN .*6 employees in department 30" "${step_output}" "query_with_binds")
kvell_run_step(${CMAKE_COMMAND} -E env ORACLE_HOME=${home} OCIEMU_HOME=${WORK_DIR}
  ${consumer}/session_audsid)
kvell_expect_match("Logged on through OCI8; AUDSID [0-9]+" "${step_output}" "session_audsid")

# The installed tool round-trips a value through the stored blob form.
kvell_run_step(${CMAKE_COMMAND} -E echo_append "hello, hello, hello"
  COMMAND ${stage}/bin/kvell-blob pack COMMAND ${stage}/bin/kvell-blob unpack)
kvell_expect_match("^hello, hello, hello$" "${step_output}" "kvell-blob pack | unpack")

if(WITH_QT)
  kvell_run_step(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${consumer}/qt_hooks)
  kvell_expect_match("cursor while waiting -11\ncursor after 0" "${step_output}" "qt_hooks")
endif()

if(WITH_BROWSE)
  kvell_run_step(${CMAKE_COMMAND} -E env --unset=ORACLE_HOME --unset=OCIDLL QT_QPA_PLATFORM=offscreen
    OCIEMU_HOME=${WORK_DIR} ${stage}/bin/kvell-browse --screenshot ${WORK_DIR}/browse.png)
  kvell_expect_match("14 rows\nORACLE_HOME=${stage}/lib/ociemu\n" "${step_output}" "installed kvell-browse")
endif()

if(WITH_VIEWER)
  set(tools ${stage}/lib/kestra/reader-sim)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_CACHE_HOME=${WORK_DIR}/cache QT_QPA_PLATFORM=offscreen
    ${stage}/bin/kestra --exit-when-shown WORKING_DIRECTORY ${tools} RESULT_VARIABLE result)
  foreach(data_file KARTICE.DAT ZETONI.DAT)
    if(NOT result EQUAL 0 OR NOT EXISTS ${WORK_DIR}/cache/kestra/${data_file} OR EXISTS ${stage}/bin/${data_file})
      message(FATAL_ERROR "installed kestra (exit ${result}) did not write ${data_file} into the user's cache")
    endif()
  endforeach()
endif()
