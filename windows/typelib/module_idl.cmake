# Writes the module's IDL as widl takes it: cmake -DINPUT=module.idl -DOUTPUT=copy.idl -P this
# The type library's text is that of the module; two things differ for widl: the host
# interfaces it names are imported from the local esriSystemUI.idl (MIDL finds them in the
# imported library), and widl refuses version() on a dispinterface, which changes nothing in
# the type library's registration (that takes the library's version), so it is left out.
file(READ "${INPUT}" idl)
string(REGEX REPLACE "version\\([0-9.]+\\),([ \t\r\n]*helpstring\\([^)]*\\)[ \t\r\n]*\\][ \t\r\n]*dispinterface)"
       "\\1" idl "${idl}")
file(WRITE "${OUTPUT}.new" "// Generated from ${INPUT}; do not edit.\nimport \"esriSystemUI.idl\";\n${idl}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
