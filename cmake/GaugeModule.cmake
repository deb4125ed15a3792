# add_gauge_module(NAME SOURCES... [RESOURCES RC_FILE]): one gauge module, a plug-in library the
# host loads at run time, that exports exactly Linkage and ImportTable, depends on nothing (a
# shared object on nothing but the C library), and carries the resources RC_FILE compiles: as DLL
# resources on Windows, and on Linux, which has no resource facility, as the same compiled
# resources in a section of its own.
# add_gauge_module_variant(BASE SUFFIX OPTIONS...): the same module built once more with extra
# compile options, for the tests only (BASE_SUFFIX beside BASE).

# Every module's arithmetic is IEEE double rounded to nearest whatever precision the host leaves
# in the x87 control word, so it is done in SSE2 registers; the module never touches the
# floating-point environment. Nothing here or anywhere may use -ffast-math, -Ofast or /fp:fast.
if(MSVC)
  # As a Visual Studio user sets them for a DLL without a runtime: optimised, SSE2 arithmetic, no
  # stack-cookie checks and no default library named in the objects (both would need the C
  # runtime), no exceptions, no run-time type information and no guarded local statics. Here this
  # branch is taken by clang-cl; Microsoft's own compiler takes it on Windows.
  set(GAUGE_MODULE_COMPILE_OPTIONS
    /O2 /arch:SSE2 /GS- /Zl /EHs-c- /GR- /Zc:threadSafeInit- /permissive- /W4)
else()
  set(GAUGE_MODULE_COMPILE_OPTIONS
    -msse2 -mfpmath=sse
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -Wall -Wextra -Wno-missing-field-initializers)  # host-owned fields are left to zero-initialisation
endif()

set(GAUGE_FRAME_DIR ${CMAKE_CURRENT_LIST_DIR}/../gauge_frame)

function(add_gauge_module name)
  cmake_parse_arguments(PARSE_ARGV 1 MODULE "" "RESOURCES" "")
  set(sources ${MODULE_UNPARSED_ARGUMENTS})
  list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  add_library(${name} MODULE ${sources} ${GAUGE_FRAME_DIR}/module_entry.cpp)
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
  target_include_directories(${name} PRIVATE ${GAUGE_FRAME_DIR}/..)
  target_compile_options(${name} PRIVATE ${GAUGE_MODULE_COMPILE_OPTIONS})
  if(MSVC)
    # The same module-definition file and the same rule as the MinGW link below: no runtime, no
    # library, DllMain as the entry point. /Brepro replaces the link time stamps with a hash of
    # the contents, so one commit always links to the same bytes. No manifest: the module asks
    # the system for nothing.
    target_sources(${name} PRIVATE ${GAUGE_FRAME_DIR}/module.def)
    set_target_properties(${name} PROPERTIES MSVC_RUNTIME_LIBRARY "")
    target_link_options(${name} PRIVATE
      /NODEFAULTLIB /ENTRY:DllMain /DYNAMICBASE /NXCOMPAT /MANIFEST:NO /Brepro)
  elseif(WIN32)
    # The module-definition file is the whole export list. Nothing but the gauge goes into the
    # DLL: no C or C++ runtime start-up and no library, so the DLL imports nothing and runs no
    # code at load beyond its own DllMain, which is the entry point. A routine the compiler would
    # need from a runtime (a memcpy it emits, a 64-bit division helper) is then an undefined
    # symbol, and the link fails rather than pulling the runtime back in. No time stamps, so one
    # commit always links to the same bytes.
    target_sources(${name} PRIVATE ${GAUGE_FRAME_DIR}/module.def)
    target_link_options(${name} PRIVATE
      -nostdlib -nostartfiles -Wl,--entry,_DllMain@12 -Wl,--no-insert-timestamp -s)
  else()
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${GAUGE_FRAME_DIR}/module.map -Wl,--as-needed -Wl,-z,defs -Wl,-z,now -s)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${GAUGE_FRAME_DIR}/module.map)
  endif()
  if(MODULE_RESOURCES)
    cmake_path(ABSOLUTE_PATH MODULE_RESOURCES BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set_target_properties(${name} PROPERTIES GAUGE_RESOURCES ${MODULE_RESOURCES})
    gauge_module_resources(${name} ${MODULE_RESOURCES})
  endif()
endfunction()

# The project's version as the resource compiler reads it, for every module's version block.
set(GAUGE_VERSION_HEADER_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${GAUGE_FRAME_DIR}/gauge_version.h.in ${GAUGE_VERSION_HEADER_DIR}/gauge_version.h @ONLY)

function(gauge_module_resources name rc_file)
  cmake_path(GET rc_file PARENT_PATH rc_dir)
  file(GLOB bitmaps ${rc_dir}/bitmaps/*.bmp)
  set(version_files ${GAUGE_FRAME_DIR}/version_block.rci ${GAUGE_VERSION_HEADER_DIR}/gauge_version.h)
  if(WIN32)
    target_sources(${name} PRIVATE ${rc_file})
    set_source_files_properties(${rc_file} TARGET_DIRECTORY ${name} PROPERTIES
      OBJECT_DEPENDS "${bitmaps};${version_files}")
    target_include_directories(${name} PRIVATE ${rc_dir} ${GAUGE_VERSION_HEADER_DIR})
  else()
    find_program(GAUGE_WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${name}.res)
    add_custom_command(OUTPUT ${res}
      COMMAND ${GAUGE_WINDRES} --target=pe-i386 --include-dir=${rc_dir} --include-dir=${GAUGE_FRAME_DIR}/..
              --include-dir=${GAUGE_VERSION_HEADER_DIR} -O res -i ${rc_file} -o ${res}
      DEPENDS ${rc_file} ${bitmaps} ${version_files}
      COMMENT "Compiling the resources of ${name}")
    add_custom_target(${name}_resources DEPENDS ${res})
    add_dependencies(${name} ${name}_resources)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${res})
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --add-section .gauge_resources=${res} $<TARGET_FILE:${name}>
      VERBATIM)
  endif()
endfunction()

# gauge_test_runs_windows_programs(TEST): the test starts Wine. Two Wine programs on one prefix at
# once stall for minutes under qemu, so every such test takes one shared lock, and a run with any
# -j still starts them one after another.
function(gauge_test_runs_windows_programs test)
  if(WIN32)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK wine_prefix)
  endif()
endfunction()

function(add_gauge_module_variant base suffix)
  get_target_property(sources ${base} SOURCES)
  list(FILTER sources EXCLUDE REGEX "module_entry\\.cpp$|module\\.def$|\\.rc$")
  get_target_property(resources ${base} GAUGE_RESOURCES)
  if(resources)
    add_gauge_module(${base}${suffix} ${sources} RESOURCES ${resources})
  else()
    add_gauge_module(${base}${suffix} ${sources})
  endif()
  target_compile_options(${base}${suffix} PRIVATE ${ARGN})
endfunction()
