# Include folders and strict warnings for every target, applied once after all
# folders are added so that a new folder needs no boilerplate.
#
# A library publishes the headers of its folder through a build-tree include
# folder (<build>/include/<target>/<folder>/<header>, symbolic links), so users
# keep writing "oracle/compress/oracle_compress.h" but cannot reach a header
# the folder keeps private. A folder's CMakeLists.txt names its internals with
#   set(KVELL_PRIVATE_HEADERS bit_io.h ...)    (everything else is public), or
#   set(KVELL_PUBLIC_HEADERS oci.h ...)        (everything else is private).
# The library itself sees its own folder in full. Tests, benchmarks and fuzz
# targets see the whole source tree: they exercise internals on purpose.

set(KVELL_STRICT_WARNINGS -Wshadow -Wconversion
    $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast> $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)

# Every target defined in `dir` and the folders below it.
function(_kvell_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child ${children})
    _kvell_collect_targets(${child} child_targets)
    list(APPEND targets ${child_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(_kvell_is_test_folder folder out)
  if(folder MATCHES "^(tests|bench|fuzz)(/|$)" OR folder MATCHES "(^|/)tests(/|$)")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The target's own view of its folder, whole, through one link under
# <build>/private/<target>.
function(_kvell_link_own_folder target source_dir folder)
  set(private_root ${PROJECT_BINARY_DIR}/private/${target})
  file(REMOVE_RECURSE ${private_root})
  get_filename_component(folder_parent ${private_root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${folder_parent})
  file(CREATE_LINK ${source_dir} ${private_root}/${folder} SYMBOLIC)
  target_include_directories(${target} PRIVATE ${private_root})
endfunction()

# Stages the public headers of `target`'s folder as its PUBLIC include folder.
function(_kvell_stage_headers target source_dir folder)
  get_directory_property(private_headers DIRECTORY ${source_dir} DEFINITION KVELL_PRIVATE_HEADERS)
  get_directory_property(public_headers DIRECTORY ${source_dir} DEFINITION KVELL_PUBLIC_HEADERS)
  file(GLOB headers RELATIVE ${source_dir} CONFIGURE_DEPENDS ${source_dir}/*.h)
  set(public_root ${PROJECT_BINARY_DIR}/include/${target})
  set(public_files "")
  file(REMOVE_RECURSE ${public_root})
  file(MAKE_DIRECTORY ${public_root}/${folder})
  foreach(header ${headers})
    if(public_headers)
      if(NOT header IN_LIST public_headers)
        continue()
      endif()
    elseif(header IN_LIST private_headers)
      continue()
    endif()
    file(CREATE_LINK ${source_dir}/${header} ${public_root}/${folder}/${header} SYMBOLIC)
    list(APPEND public_files ${source_dir}/${header})
  endforeach()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${public_root}>)
  # What kvell_finish_install ships.
  set_target_properties(${target} PROPERTIES KVELL_PUBLIC_HEADER_FILES "${public_files}" KVELL_HEADER_FOLDER ${folder})
endfunction()

function(kvell_finish_targets)
  _kvell_collect_targets(${PROJECT_SOURCE_DIR} targets)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    get_target_property(source_dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${source_dir})
    _kvell_is_test_folder("${folder}" is_test)
    if(is_test)
      target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
      continue()
    endif()
    target_compile_options(${target} PRIVATE ${KVELL_STRICT_WARNINGS})
    _kvell_link_own_folder(${target} ${source_dir} ${folder})
    if(type MATCHES "LIBRARY$")
      _kvell_stage_headers(${target} ${source_dir} ${folder})
    endif()
  endforeach()
endfunction()
