# The real Windows DLL, cross-compiled with MinGW-w64.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources")

add_library(QLSETGUI SHARED
  ${QL_PRODUCT_SOURCES}
  ${QL_FRAMEWORK_SOURCES}
  ${CMAKE_SOURCE_DIR}/resources/QLSETGUI.rc
  ${CMAKE_SOURCE_DIR}/resources/QLSETGUI.def)
set_target_properties(QLSETGUI PROPERTIES PREFIX "" OUTPUT_NAME QLSETGUI SUFFIX ".dll")
target_include_directories(QLSETGUI PRIVATE ${QL_INCLUDE_DIRS})
target_compile_definitions(QLSETGUI PRIVATE QLSETGUI_EXPORTS WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0500)
target_compile_options(QLSETGUI PRIVATE ${QL_WARNINGS})
# stdcall exports by their plain names; no runtime DLLs beside the system's.
target_link_options(QLSETGUI PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at -Wl,--enable-stdcall-fixup -Wl,--exclude-all-symbols)
target_link_libraries(QLSETGUI PRIVATE msi advapi32 user32 netapi32 mpr shell32 ole32 version)

# Compares the built DLL's export table with the export list.
find_program(QL_OBJDUMP NAMES ${CMAKE_C_COMPILER_TARGET}-objdump ${TOOLCHAIN_PREFIX}-objdump objdump)
add_custom_target(export-check ALL
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:QLSETGUI> -DDEF=${CMAKE_SOURCE_DIR}/resources/QLSETGUI.def
          -DOBJDUMP=${QL_OBJDUMP} -P ${CMAKE_SOURCE_DIR}/cmake/export_check.cmake
  DEPENDS QLSETGUI
  COMMENT "Checking the export table of QLSETGUI.dll")

# The i686 DLL is the one that ships: every function it imports must exist on
# Windows NT 4.0 SP6. (The x86_64 build only runs under wine64.)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_custom_target(import-check ALL
    COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:QLSETGUI> -DLIST=${CMAKE_SOURCE_DIR}/cmake/nt4-imports.txt
            -DOBJDUMP=${QL_OBJDUMP} -P ${CMAKE_SOURCE_DIR}/cmake/import_check.cmake
    DEPENDS QLSETGUI ${CMAKE_SOURCE_DIR}/cmake/nt4-imports.txt
    COMMENT "Checking the imports of QLSETGUI.dll against Windows NT 4.0")
endif()
