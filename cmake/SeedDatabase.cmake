# The service recommendations ship beside the program as "newupdate.db",
# built on the host from their SQL text. The program deletes the file once it
# has imported it, so every build puts the built copy back.
find_program(QO_SQLITE3 sqlite3 REQUIRED)
set(QO_SEED_SQL ${CMAKE_SOURCE_DIR}/src/db/newupdate.sql)
set(QO_SEED_BUILT ${CMAKE_BINARY_DIR}/seed/newupdate.db)
add_custom_command(OUTPUT ${QO_SEED_BUILT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/seed
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QO_SEED_BUILT}.part
  COMMAND ${QO_SQLITE3} -bail ${QO_SEED_BUILT}.part ".read ${QO_SEED_SQL}"
  COMMAND ${CMAKE_COMMAND} -E rename ${QO_SEED_BUILT}.part ${QO_SEED_BUILT}
  DEPENDS ${QO_SEED_SQL}
  COMMENT "Building the seed database")
add_custom_target(seed_database ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QO_SEED_BUILT} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/newupdate.db
  DEPENDS ${QO_SEED_BUILT})
