# Third-party code compiled for the target from pinned Debian source packages
# (scripts/fetch-deps.sh), plus GoogleTest from Debian's googletest sources.
set(QO_DEPS_DIR ${CMAKE_BINARY_DIR}/_deps CACHE PATH "where the dependency sources are prepared")
execute_process(
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-deps.sh ${QO_DEPS_DIR}
  RESULT_VARIABLE fetch_result)
if(NOT fetch_result EQUAL 0)
  message(FATAL_ERROR "fetching the dependency sources failed")
endif()

add_library(qo_sqlite3 STATIC ${QO_DEPS_DIR}/sqlite3/sqlite3.c)
target_include_directories(qo_sqlite3 SYSTEM PUBLIC ${QO_DEPS_DIR}/sqlite3)
target_compile_definitions(qo_sqlite3 PRIVATE SQLITE_OMIT_LOAD_EXTENSION SQLITE_THREADSAFE=1)
target_compile_options(qo_sqlite3 PRIVATE -w)

add_library(qo_cjson STATIC ${QO_DEPS_DIR}/cjson/cJSON.c)
target_include_directories(qo_cjson SYSTEM PUBLIC ${QO_DEPS_DIR}/cjson)
# cJSON marks its functions dllexport by default: linked into the executable
# they would join its export directory.
target_compile_definitions(qo_cjson PUBLIC CJSON_HIDE_SYMBOLS)
target_compile_options(qo_cjson PRIVATE -w)

add_library(qo_lzf STATIC ${QO_DEPS_DIR}/liblzf/lzf_c.c ${QO_DEPS_DIR}/liblzf/lzf_d.c)
target_include_directories(qo_lzf SYSTEM PUBLIC ${QO_DEPS_DIR}/liblzf)
target_compile_options(qo_lzf PRIVATE -w)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # liblzf spells the 64-bit type as MSVC's _int64 on 64-bit Windows.
  target_compile_definitions(qo_lzf PRIVATE _int64=__int64)
endif()

add_library(qo_httplib INTERFACE)
target_include_directories(qo_httplib SYSTEM INTERFACE ${QO_DEPS_DIR}/httplib)
target_link_libraries(qo_httplib INTERFACE ws2_32)

if(QO_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
endif()
