# Writes the export list into a C++ source as raw text, so that qlsetrun
# knows which custom actions the library exports.
file(READ ${DEF} DEF_TEXT)
file(WRITE ${OUT} "// Generated from ${DEF}; do not edit.\n"
  "extern const char kQlExportList[];\n"
  "const char kQlExportList[] = R\"QLDEF(${DEF_TEXT})QLDEF\";\n")
