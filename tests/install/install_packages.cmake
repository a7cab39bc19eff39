# Builds the Debian packages from the build tree and checks what a user
# installs: each package's files (exactly, for the viewer and ociemu; the
# development package's headers against the public headers the build staged)
# and its dependencies (the viewer and kvell-browse: Qt 6 and the C and C++
# runtime only).
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
kvell_run_step(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})

function(package_file name out)
  file(GLOB debs ${WORK_DIR}/${name}_${VERSION}_*.deb)
  list(LENGTH debs count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one ${name}_${VERSION}_*.deb in ${WORK_DIR}, found: ${debs}")
  endif()
  set(${out} ${debs} PARENT_SCOPE)
endfunction()

# The package names in Depends, versions dropped.
function(package_depends deb out)
  kvell_run_step(dpkg-deb --field ${deb} Depends)
  string(STRIP "${step_output}" depends)
  string(REGEX REPLACE " *\\([^)]*\\)" "" depends "${depends}")
  string(REPLACE ", " ";" depends "${depends}")
  set(${out} ${depends} PARENT_SCOPE)
endfunction()

# The package's files and links ("path" or "path -> target"), directories left out.
function(package_files deb out)
  kvell_run_step(dpkg-deb --contents ${deb})
  string(REPLACE "\n" ";" lines "${step_output}")
  set(files "")
  foreach(line ${lines})
    if(line MATCHES "^[-l][^ ]* +[^ ]+ +[0-9]+ +[^ ]+ +[^ ]+ +\\./(.*)$")
      list(APPEND files "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(expect_same_list what actual expected)
  list(SORT expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    string(REPLACE ";" "\n  " actual "${actual}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "${what}:\n  ${actual}\nexpected:\n  ${expected}")
  endif()
endfunction()

function(expect_contains what list items)
  foreach(item ${items})
    if(NOT item IN_LIST list)
      message(FATAL_ERROR "${what} lack ${item}")
    endif()
  endforeach()
endfunction()

function(expect_depends_only_on deb allowed_regex required)
  package_depends(${deb} depends)
  foreach(package ${depends})
    if(NOT package MATCHES "${allowed_regex}")
      message(FATAL_ERROR "${deb} depends on ${package}; allowed: ${allowed_regex}")
    endif()
  endforeach()
  expect_contains("${deb}'s dependencies" "${depends}" "${required}")
endfunction()

set(cxx_runtime "libc6|libgcc-s1|libstdc\\+\\+6")

if(EXPECT_VIEWER)
  package_file(kestra viewer)
  package_files(${viewer} files)
  expect_same_list("kestra's files" "${files}"
    "usr/bin/kestra;usr/lib/kestra/reader-sim/READACC.EXE;usr/lib/kestra/reader-sim/READZET.EXE")
  expect_depends_only_on(${viewer} "^(${cxx_runtime}|libqt6[a-z]+6)$" libqt6widgets6)
endif()

if(EXPECT_BROWSE)
  package_file(kvell-browse browse)
  package_files(${browse} files)
  expect_same_list("kvell-browse's files" "${files}" "usr/bin/kvell-browse")
  expect_depends_only_on(${browse} "^(${cxx_runtime}|libqt6[a-z]+6)$" libqt6widgets6)
  kvell_run_step(dpkg-deb --field ${browse} Recommends)
  kvell_expect_match("^ociemu\n?$" "${step_output}" "kvell-browse recommends")
endif()

package_file(ociemu ociemu)
package_files(${ociemu} files)
expect_same_list("ociemu's files" "${files}"
  "usr/lib/ociemu/lib/libclntsh.so -> libociemu.so;usr/lib/ociemu/lib/libociemu.so;usr/lib/ociemu/lib/liboramts.so")
expect_depends_only_on(${ociemu} "^(${cxx_runtime}|libsqlite3-0)$" libsqlite3-0)

package_file(libkvell-dev dev)
package_files(${dev} files)
# Headers: exactly the public ones the build staged for the layer's libraries.
file(GLOB_RECURSE staged RELATIVE ${BUILD_DIR}/include LIST_DIRECTORIES false ${BUILD_DIR}/include/kvell_*/*.h)
set(expected_headers "")
foreach(header ${staged})
  string(REGEX MATCH "^[^/]+/(.*)$" header ${header})
  list(APPEND expected_headers usr/include/kvell/${CMAKE_MATCH_1})
endforeach()
list(REMOVE_DUPLICATES expected_headers)
set(headers ${files})
list(FILTER headers INCLUDE REGEX "^usr/include/")
expect_same_list("libkvell-dev's headers" "${headers}" "${expected_headers}")
set(required usr/lib/libkvell_session.a usr/lib/libkvell_runtime.a usr/lib/cmake/Kvell/KvellConfig.cmake
  usr/lib/cmake/Kvell/KvellConfigVersion.cmake usr/lib/cmake/Kvell/Kvell-targets.cmake
  usr/lib/pkgconfig/kvell.pc usr/lib/pkgconfig/kvell-session.pc usr/bin/kvell-blob)
if(EXPECT_DOCS)
  list(APPEND required usr/share/doc/libkvell-dev/api/index.html)
endif()
expect_contains("libkvell-dev's files" "${files}" "${required}")
list(FILTER files EXCLUDE REGEX "^usr/(include/kvell|lib/libkvell_[a-z_]+\\.a|lib/cmake/Kvell|lib/pkgconfig/kvell|bin/kvell-blob$|share/doc/libkvell-dev/api/)")
expect_same_list("libkvell-dev's files outside its folders" "${files}" "")
expect_depends_only_on(${dev} "^(${cxx_runtime})$" "")
