# cmake -DFILES=a|b|c -DOUT=SHA256SUMS -P WriteChecksums.cmake
# Writes the SHA-256 sum of each file by its name, in the form `sha256sum -c` reads.
string(REPLACE "|" ";" FILES "${FILES}")
set(sums "")
foreach(file ${FILES})
  file(SHA256 ${file} sum)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${OUT} "${sums}")
