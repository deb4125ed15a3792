# cmake -DEMULATOR=... -DTOOL=gauge_preview -DMODULES=a.dll|b.dll -DTEMPLATE=INSTALL.md.in
#       -DPROJECT_VERSION=x.y.z -DOUT=INSTALL.md -P WriteInstallNotes.cmake
# Runs `gauge_preview datasheet` on each module, one after the other, and writes the template with
# the datasheets in place of @DATASHEETS@.
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
string(REPLACE "|" ";" MODULES "${MODULES}")
set(DATASHEETS "")
foreach(module ${MODULES})
  execute_process(COMMAND ${EMULATOR} ${TOOL} datasheet ${module}
                  OUTPUT_VARIABLE sheet ERROR_VARIABLE error RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the datasheet of ${module} could not be made (status ${status}): ${error}")
  endif()
  string(REPLACE "\r\n" "\n" sheet "${sheet}")
  string(APPEND DATASHEETS "${sheet}\n")
endforeach()
configure_file(${TEMPLATE} ${OUT} @ONLY NEWLINE_STYLE UNIX)
