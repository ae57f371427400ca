# kx_layer(name [DIRS d...] [DEPS layer...] [EXCLUDE regex])
# A library kx_<name> of the .cpp files directly in src/<d> (default: src/<name>), linking
# the layers it depends on. Its include path is build/include/<name>, which links only to
# the source folders of the layer itself and of everything below it.
set(KX_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/include)

# Folders under a layer's folder that belong to another layer: reachable only by the layers
# that may see them, never through their parent.
set(KX_NESTED_LAYER_DIRS platform/win32)

function(kx_link_folder root d)
  set(nested)
  foreach(n ${KX_NESTED_LAYER_DIRS})
    string(FIND "${n}" "${d}/" at)
    if(at EQUAL 0)
      list(APPEND nested ${n})
    endif()
  endforeach()
  if(NOT nested)
    get_filename_component(parent ${root}/${d} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${d})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${d} ${root}/${d} SYMBOLIC)
    endif()
    return()
  endif()
  # Link the entries one by one, leaving out the nested layers. A header added here later
  # re-runs the configuration, which links it.
  file(MAKE_DIRECTORY ${root}/${d})
  file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR}/src
       ${CMAKE_SOURCE_DIR}/src/${d}/*)
  foreach(e ${entries})
    if(NOT e IN_LIST KX_NESTED_LAYER_DIRS AND NOT EXISTS ${root}/${e})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${e} ${root}/${e} SYMBOLIC)
    endif()
  endforeach()
endfunction()

function(kx_layer_includes target)
  set(root ${KX_INCLUDE_ROOT}/${target})
  file(MAKE_DIRECTORY ${root})
  # Parents before their nested folders, so a parent is a real folder when it needs one.
  set(dirs ${ARGN})
  list(SORT dirs)
  foreach(d ${dirs})
    kx_link_folder(${root} ${d})
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
endfunction()

function(kx_layer name)
  cmake_parse_arguments(L "" "EXCLUDE" "DIRS;DEPS" ${ARGN})
  if(NOT L_DIRS)
    set(L_DIRS ${name})
  endif()
  set(sources)
  foreach(d ${L_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${d}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(L_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${L_EXCLUDE}")
  endif()
  # The folders this layer sees: its own and, through its dependencies, all below.
  set(visible ${L_DIRS})
  foreach(dep ${L_DEPS})
    get_property(dep_visible GLOBAL PROPERTY KX_VISIBLE_${dep})
    list(APPEND visible ${dep_visible})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  set_property(GLOBAL PROPERTY KX_VISIBLE_${name} ${visible})

  # A layer with no code yet still takes its place, so its dependants need not change.
  if(NOT sources)
    file(WRITE ${CMAKE_BINARY_DIR}/layers/${name}_empty.cpp "// ${name}: nothing built yet\n")
    set(sources ${CMAKE_BINARY_DIR}/layers/${name}_empty.cpp)
  endif()
  add_library(kx_${name} STATIC ${sources})
  kx_layer_includes(kx_${name} ${visible})
  foreach(dep ${L_DEPS})
    target_link_libraries(kx_${name} PUBLIC kx_${dep})
  endforeach()
  # The fuzzers link these: let libFuzzer see the code it drives, not just the harness.
  if(KESTRIX_FUZZ)
    target_compile_options(kx_${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
