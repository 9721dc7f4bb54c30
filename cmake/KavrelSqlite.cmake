# SQLite::SQLite3 for the logger's archive (and the fleet's store): Debian's libsqlite3-dev
# on Linux; for a cross build the amalgamation named by KAVREL_SQLITE_SOURCE, compiled here
# as a static library with the options a desktop program wants.
if(KAVREL_SQLITE_SOURCE)
  if(NOT EXISTS ${KAVREL_SQLITE_SOURCE}/sqlite3.c)
    message(FATAL_ERROR "KAVREL_SQLITE_SOURCE=${KAVREL_SQLITE_SOURCE} has no sqlite3.c")
  endif()
  enable_language(C)
  add_library(kavrel_sqlite3 STATIC ${KAVREL_SQLITE_SOURCE}/sqlite3.c)
  target_include_directories(kavrel_sqlite3 SYSTEM PUBLIC ${KAVREL_SQLITE_SOURCE})
  # The amalgamation is not our code: none of our warnings apply to it.
  target_compile_options(kavrel_sqlite3 PRIVATE -w)
  target_compile_definitions(kavrel_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0)
  set_target_properties(kavrel_sqlite3 PROPERTIES LINKER_LANGUAGE C)
  add_library(SQLite::SQLite3 ALIAS kavrel_sqlite3)
else()
  find_package(SQLite3 REQUIRED)
endif()
