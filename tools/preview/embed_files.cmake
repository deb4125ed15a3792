# Writes OUTPUT, a C++ source that holds each file of FILES (a ;-separated list) as an array of its
# bytes, for bench_page_files.h. Run as: cmake -DOUTPUT=... -DFILES=... -P embed_files.cmake
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const unsigned char kFile${index}[${size}] = {\n    ${bytes}\n};\n")
  string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
  "// Made by embed_files.cmake from the bench page's sources; do not edit.\n"
  "#include \"tools/preview/bench_page_files.h\"\n\n"
  "namespace gauge_preview {\n\nnamespace {\n\n${arrays}\n}  // namespace\n\n"
  "const EmbeddedFile kBenchPageFiles[] = {\n${entries}};\n"
  "const std::size_t kBenchPageFileCount = ${index};\n\n}  // namespace gauge_preview\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
