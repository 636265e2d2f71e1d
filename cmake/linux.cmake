# Linux: the same product sources over winsim, the simulated machine.
if(QLSETGUI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB WINSIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/winsim/src/*.cpp)
add_library(winsim SHARED ${WINSIM_SOURCES})
target_include_directories(winsim PUBLIC ${CMAKE_SOURCE_DIR}/winsim/include)
target_compile_options(winsim PRIVATE ${QL_WARNINGS})
target_link_libraries(winsim PUBLIC ${CMAKE_DL_LIBS})

# The resource script is the one source of the string table and dialogs on
# both builds: the Linux library carries its text and winsim compiles it.
set(QL_RC_EMBED ${CMAKE_BINARY_DIR}/generated/rc_text.cpp)
file(GLOB QL_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h)
add_custom_command(OUTPUT ${QL_RC_EMBED}
  COMMAND ${CMAKE_COMMAND} -DRC=${CMAKE_SOURCE_DIR}/resources/QLSETGUI.rc -DOUT=${QL_RC_EMBED}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_rc.cmake
  DEPENDS ${QL_RC_INPUTS} ${CMAKE_SOURCE_DIR}/cmake/embed_rc.cmake
  COMMENT "Embedding the resource script")

add_library(qlsetgui SHARED
  ${QL_PRODUCT_SOURCES}
  ${QL_FRAMEWORK_SOURCES}
  ${QL_RC_EMBED}
  ${CMAKE_SOURCE_DIR}/winsim/module/module_attach.cpp)
target_include_directories(qlsetgui PUBLIC ${QL_INCLUDE_DIRS})
target_compile_options(qlsetgui PRIVATE ${QL_WARNINGS})
target_link_libraries(qlsetgui PUBLIC winsim)

# The runner's report pieces, shared with their tests.
add_library(qlreport STATIC ${CMAKE_SOURCE_DIR}/tools/ProductReport.cpp)
target_include_directories(qlreport PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_compile_options(qlreport PRIVATE ${QL_WARNINGS})
target_link_libraries(qlreport PUBLIC qlsetgui winsim)

# qlsetrun learns the library's custom actions from the export list.
set(QL_DEF_EMBED ${CMAKE_BINARY_DIR}/generated/def_text.cpp)
add_custom_command(OUTPUT ${QL_DEF_EMBED}
  COMMAND ${CMAKE_COMMAND} -DDEF=${CMAKE_SOURCE_DIR}/resources/QLSETGUI.def -DOUT=${QL_DEF_EMBED}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_def.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/QLSETGUI.def ${CMAKE_SOURCE_DIR}/cmake/embed_def.cmake
  COMMENT "Embedding the export list")
file(GLOB QLSETRUN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/qlsetrun/*.cpp)
add_executable(qlsetrun ${CMAKE_SOURCE_DIR}/tools/qlsetrun.cpp ${QLSETRUN_SOURCES} ${QL_DEF_EMBED})
target_include_directories(qlsetrun PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_compile_options(qlsetrun PRIVATE ${QL_WARNINGS})
target_link_libraries(qlsetrun PRIVATE qlreport qlsetgui winsim)

if(QLSETGUI_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_subdirectory(tests)
endif()

if(QLSETGUI_BENCH)
  find_package(benchmark REQUIRED)
  add_subdirectory(bench)
endif()
