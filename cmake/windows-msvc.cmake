# 32-bit Windows in the Microsoft ABI, built the way Windows gauge developers build, but with
# Debian's clang-cl, lld-link and llvm-rc and none of Microsoft's libraries or headers: the
# modules need none (see the if(MSVC) branch of cmake/GaugeModule.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
find_program(GAUGE_CLANG_CL NAMES clang-cl clang-cl-14 REQUIRED)
set(CMAKE_C_COMPILER ${GAUGE_CLANG_CL})
set(CMAKE_CXX_COMPILER ${GAUGE_CLANG_CL})
set(CMAKE_C_COMPILER_TARGET i686-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET i686-pc-windows-msvc)
set(CMAKE_LINKER lld-link)
set(CMAKE_RC_COMPILER llvm-rc)
set(CMAKE_MT llvm-mt)
set(CMAKE_AR llvm-lib)
# Without a C runtime to link, the compiler checks can only build a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# No import libraries of the system: a gauge module links against nothing.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
