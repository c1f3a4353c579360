# Refuses an #include that runs against the layers (docs/architecture.md). Run by the build
# before any library compiles:
#   cmake -DROOT=<source dir> [-DSTAMP=<file touched on success>] -P check_layers.cmake
# Every quoted include is checked:
#   - the engine (src/jet) includes only engine headers, by their path from src/, and a folder
#     only itself or the folders below it;
#   - the simulator (run/, terminals/, results/), headless/ and ui/ reach the engine through
#     db/, never jet/ directly;
#   - nothing in src/ includes from tools/ or tests/;
#   - every header is named by its path from src/, so that an include reads the same anywhere.

cmake_minimum_required(VERSION 3.25)

# The engine's folders and what each may include besides itself. "top" is src/jet itself.
set(layer_base "")
set(layer_storage base)
set(layer_value base storage)
set(layer_schema base storage value)
set(layer_rows base storage value schema)
set(layer_index base storage value schema)
set(layer_sql base storage value schema)
set(layer_top base storage value schema rows index sql)
set(engine_folders base storage value schema rows index sql)

if(NOT ROOT)
  message(FATAL_ERROR "check_layers.cmake: pass -DROOT=<source dir>")
endif()

# The engine folder of a path below jet/ ("storage" for jet/storage/page_file.h, "top" for jet/database.h).
function(engine_folder path out)
  string(REGEX MATCH "^jet/([^/]+)/" m "${path}")
  if(m AND CMAKE_MATCH_1 IN_LIST engine_folders)
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} top PARENT_SCOPE)
  endif()
endfunction()

set(problems "")
file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/src/*.h" "${ROOT}/src/*.cpp")
list(SORT sources)
foreach(file IN LISTS sources)
  string(REGEX REPLACE "^src/" "" in_src "${file}")
  set(folder "")
  if(in_src MATCHES "^jet/")
    engine_folder("${in_src}" folder)
  endif()
  file(STRINGS "${ROOT}/${file}" lines)
  set(line_number 0)
  foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(target "${CMAKE_MATCH_1}")
    set(why "")
    if(folder)
      if(NOT target MATCHES "^jet/")
        set(why "the engine includes only engine headers, named by their path from src/ (jet/...)")
      else()
        engine_folder("${target}" to)
        if(NOT to STREQUAL folder AND NOT to IN_LIST layer_${folder})
          string(REPLACE ";" ", " below "${layer_${folder}}")
          if(NOT below)
            set(below "nothing else")
          endif()
          set(why "jet/${folder} may include only itself and ${below}, not jet/${to}")
        endif()
      endif()
    elseif(in_src MATCHES "^(run|terminals|results|headless|ui)/" AND target MATCHES "^jet/")
      set(why "run/, terminals/, results/, headless/ and ui/ use the engine through db/ (db/types.h), not jet/")
    endif()
    if(NOT why AND (NOT EXISTS "${ROOT}/src/${target}" OR target MATCHES "(^|/)\\.\\./"))
      if(EXISTS "${ROOT}/tools/${target}" OR EXISTS "${ROOT}/tests/${target}")
        set(why "src/ never includes from tools/ or tests/")
      else()
        set(why "name the header by its path from src/ (run/simulator.h, not simulator.h or ../run/simulator.h)")
      endif()
    endif()
    if(why)
      string(APPEND problems "  ${file}:${line_number}: #include \"${target}\": ${why}\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes that run against the layers (see docs/architecture.md):\n${problems}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
