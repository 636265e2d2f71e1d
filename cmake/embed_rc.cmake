# Writes the resource script (and the headers it includes from resources/)
# into a C++ source as raw text, for winsim's resource compiler.
get_filename_component(RC_DIR ${RC} DIRECTORY)
file(READ ${RC} RC_TEXT)
file(GLOB RC_HEADERS ${RC_DIR}/*.h)
set(HEADERS_TEXT "")
foreach(h ${RC_HEADERS})
  file(READ ${h} H_TEXT)
  string(APPEND HEADERS_TEXT "${H_TEXT}\n")
endforeach()
file(WRITE ${OUT} "// Generated from ${RC}; do not edit.\n"
  "extern const char kQlResourceHeaders[];\nextern const char kQlResourceScript[];\n"
  "const char kQlResourceHeaders[] = R\"QLRC(${HEADERS_TEXT})QLRC\";\n"
  "const char kQlResourceScript[] = R\"QLRC(${RC_TEXT})QLRC\";\n")
