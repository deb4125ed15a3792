# add_gauge_module(NAME SOURCES...): one gauge module, a plug-in library the host loads at run
# time, that exports exactly Linkage and ImportTable and depends on nothing but the C runtime.
# add_gauge_module_variant(BASE SUFFIX OPTIONS...): the same module built once more with extra
# compile options, for the tests only (BASE_SUFFIX beside BASE).

# Every module's arithmetic is IEEE double rounded to nearest whatever precision the host leaves
# in the x87 control word, so it is done in SSE2 registers; the module never touches the
# floating-point environment. Nothing here or anywhere may use -ffast-math or -Ofast.
set(GAUGE_MODULE_COMPILE_OPTIONS
  -msse2 -mfpmath=sse
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
  -Wall -Wextra -Wno-missing-field-initializers)  # host-owned fields are left to zero-initialisation

set(GAUGE_FRAME_DIR ${CMAKE_CURRENT_LIST_DIR}/../gauge_frame)

function(add_gauge_module name)
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  add_library(${name} MODULE ${ARGN} ${GAUGE_FRAME_DIR}/module_entry.cpp)
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
  target_include_directories(${name} PRIVATE ${GAUGE_FRAME_DIR}/..)
  target_compile_options(${name} PRIVATE ${GAUGE_MODULE_COMPILE_OPTIONS})
  if(WIN32)
    # The module-definition file is the whole export list; the language runtime is linked in so
    # that the DLL imports nothing beyond KERNEL32.dll and msvcrt.dll.
    target_sources(${name} PRIVATE ${GAUGE_FRAME_DIR}/module.def)
    target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -s)
  else()
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${GAUGE_FRAME_DIR}/module.map -Wl,--as-needed -Wl,-z,defs -Wl,-z,now -s)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${GAUGE_FRAME_DIR}/module.map)
  endif()
endfunction()

function(add_gauge_module_variant base suffix)
  get_target_property(sources ${base} SOURCES)
  list(FILTER sources EXCLUDE REGEX "module_entry\\.cpp$|module\\.def$")
  add_gauge_module(${base}${suffix} ${sources})
  target_compile_options(${base}${suffix} PRIVATE ${ARGN})
endfunction()
