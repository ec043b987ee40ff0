# Writes the dialog's form text as a C++ source: cmake -DINPUT=file.dfm -DOUTPUT=file.cpp -P this
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," array "${bytes}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n  " array "${array}")
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT}; do not edit.\n"
  "extern const char vo_arcmap_areaclip_form_dfm[];\n"
  "extern const unsigned long vo_arcmap_areaclip_form_dfm_size;\n"
  "const char vo_arcmap_areaclip_form_dfm[] = {\n  ${array}0x00};\n"
  "const unsigned long vo_arcmap_areaclip_form_dfm_size = ${size};\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
