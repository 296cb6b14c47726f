cmake_minimum_required(VERSION 3.25)

# Writes a C++ source holding every PNG of IMAGES_DIR as a byte array keyed by
# the number its file name starts with (200_lamp_off.png -> 200).
# Usage: cmake -DIMAGES_DIR=<dir> -DOUTPUT=<file.cpp> -P embed_images.cmake

if(NOT IMAGES_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "embed_images.cmake needs IMAGES_DIR and OUTPUT")
endif()

file(GLOB files RELATIVE ${IMAGES_DIR} ${IMAGES_DIR}/*.png)

set(entries "")
set(ids "")
foreach(name ${files})
  if(NOT name MATCHES "^([0-9]+)(_[A-Za-z0-9_-]*)?\\.png$")
    message(FATAL_ERROR "Image file name must start with its resource number: ${name}")
  endif()
  set(id ${CMAKE_MATCH_1})
  math(EXPR id "${id}")  # drops leading zeros
  if(id IN_LIST ids)
    message(FATAL_ERROR "Two images with resource number ${id}")
  endif()
  list(APPEND ids ${id})
  # Pad to 10 digits so that the text sort below is a numeric sort.
  string(LENGTH "${id}" len)
  math(EXPR pad "10 - ${len}")
  string(REPEAT "0" ${pad} zeros)
  list(APPEND entries "${zeros}${id}|${name}")
endforeach()
list(SORT entries)

set(arrays "")
set(table "")
foreach(entry ${entries})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 1 name)
  list(GET parts 0 padded)
  math(EXPR id "${padded}")
  file(READ ${IMAGES_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" hexlen)
  if(hexlen EQUAL 0)
    message(FATAL_ERROR "Empty image file: ${name}")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "// ${name}\nconst std::uint8_t kImage${id}[] = {\n    ${bytes}\n};\n\n")
  string(APPEND table "    {${id}, kImage${id}, sizeof kImage${id}},\n")
endforeach()

set(content "// Generated from the PNG files of the images folder; do not edit.\n")
string(APPEND content "#include \"resources/embed/imageresources.h\"\n\n")
string(APPEND content "namespace quenor {\n\nnamespace {\n\n${arrays}")
if(table)
  string(APPEND content "const ImageResource kTable[] = {\n${table}};\n\n}  // namespace\n\n")
  string(APPEND content "std::span<const ImageResource> EmbeddedImageTable()\n{\n    return kTable;\n}\n")
else()
  string(APPEND content "}  // namespace\n\n")
  string(APPEND content "std::span<const ImageResource> EmbeddedImageTable()\n{\n    return {};\n}\n")
endif()
string(APPEND content "\n}  // namespace quenor\n")

file(WRITE ${OUTPUT} "${content}")
