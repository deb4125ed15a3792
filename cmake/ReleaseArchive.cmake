# The release archive of the Windows build: twin-engine-gauges-<version>-win32.zip, made by
# `cmake --build --preset windows-i686 --target package` (CPack, ZIP). It holds the two DLLs, the
# preview tool, INSTALL.md (with both gauges' datasheets, written at build time by the preview
# tool run on the built DLLs under Wine), LICENSE and SHA256SUMS over all of them.
set(RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(RELEASE_MODULES quadrant_gauge ammeter_gauge)

# One command runs the tool for both datasheets, one after the other: two Wine programs on one
# prefix at once would stall. Lists reach the scripts joined by "|".
set(release_module_files)
foreach(module ${RELEASE_MODULES})
  list(APPEND release_module_files $<TARGET_FILE:${module}>)
endforeach()
string(JOIN "|" emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
string(JOIN "|" modules ${release_module_files})
add_custom_command(OUTPUT ${RELEASE_DIR}/INSTALL.md
  COMMAND ${CMAKE_COMMAND} -DEMULATOR=${emulator} -DTOOL=$<TARGET_FILE:gauge_preview_program> -DMODULES=${modules}
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/release/INSTALL.md.in -DPROJECT_VERSION=${PROJECT_VERSION}
          -DOUT=${RELEASE_DIR}/INSTALL.md -P ${PROJECT_SOURCE_DIR}/cmake/WriteInstallNotes.cmake
  DEPENDS ${RELEASE_MODULES} gauge_preview_program ${PROJECT_SOURCE_DIR}/release/INSTALL.md.in
          ${PROJECT_SOURCE_DIR}/cmake/WriteInstallNotes.cmake
  COMMENT "Writing the release's INSTALL.md with the gauges' datasheets"
  VERBATIM)

string(JOIN "|" release_files ${release_module_files} $<TARGET_FILE:gauge_preview_program> ${RELEASE_DIR}/INSTALL.md
            ${PROJECT_SOURCE_DIR}/LICENSE)
add_custom_command(OUTPUT ${RELEASE_DIR}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} -DFILES=${release_files} -DOUT=${RELEASE_DIR}/SHA256SUMS
          -P ${PROJECT_SOURCE_DIR}/cmake/WriteChecksums.cmake
  DEPENDS ${RELEASE_MODULES} gauge_preview_program ${RELEASE_DIR}/INSTALL.md ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/cmake/WriteChecksums.cmake
  COMMENT "Writing the release's SHA256SUMS"
  VERBATIM)
add_custom_target(release_files ALL DEPENDS ${RELEASE_DIR}/INSTALL.md ${RELEASE_DIR}/SHA256SUMS)

install(TARGETS ${RELEASE_MODULES} LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(TARGETS gauge_preview_program RUNTIME DESTINATION .)
install(FILES ${RELEASE_DIR}/INSTALL.md ${RELEASE_DIR}/SHA256SUMS ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME twin-engine-gauges)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME twin-engine-gauges-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${RELEASE_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF)
include(CPack)
