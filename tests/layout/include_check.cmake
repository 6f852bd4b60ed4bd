# Fails when a folder includes one it must not (docs/architecture.md gives the plan):
#   cmake -DSOURCE=<project folder> -P include_check.cmake
# Each rule: folder, the project headers it may include (folder prefixes or single headers),
# and the system headers it must not include.
set(core "world/,geometry/,shell/,render/,state/Snapshot.h")
set(rules
  "world|${core}|SDL,enet,X11"
  "geometry|${core}|SDL,enet,X11"
  "shell|${core}|SDL,enet,X11"
  "render|${core}|SDL,enet,X11"
  "files|files/|SDL,enet,X11"
  "match|${core},match/|SDL,enet,X11"
  "state|${core},state/,match/,files/|SDL,enet,X11"
  "bots|${core},bots/|SDL,enet,X11"
  "pictures|${core},pictures/|SDL,enet,X11"
  "net|${core},state/,match/,bots/,files/,net/|SDL,enet,X11"
  "platform|platform/,shell/Platform.h,files/|enet"
  "web/platform|web/platform/,shell/Platform.h,platform/GameLoop.h,platform/TickSchedule.h,platform/WindowPlacement.h,platform/PadKeys.h|SDL,enet,X11")

if(NOT SOURCE)
  message(FATAL_ERROR "give -DSOURCE=<project folder>")
endif()
set(failures 0)
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 allowed)
  list(GET parts 2 banned)
  string(REPLACE "," ";" allowed "${allowed}")
  string(REPLACE "," ";" banned "${banned}")
  file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    # ENet and the routers' libraries live in their own subfolders of the network code.
    if(file MATCHES "^net/(enet|portmap)/")
      continue()
    endif()
    file(STRINGS ${SOURCE}/${file} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(header ${CMAKE_MATCH_1})
        set(ok FALSE)
        foreach(prefix IN LISTS allowed)
          string(LENGTH "${prefix}" n)
          string(SUBSTRING "${header}" 0 ${n} start)
          if(start STREQUAL prefix)
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          message("${file}: includes \"${header}\", which ${folder}/ must not")
          math(EXPR failures "${failures} + 1")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        set(header ${CMAKE_MATCH_1})
        foreach(library IN LISTS banned)
          if(header MATCHES "^${library}")
            message("${file}: includes <${header}>, which ${folder}/ must not")
            math(EXPR failures "${failures} + 1")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
endforeach()
# Routers are spoken to from net/portmap/ alone: no other file includes their libraries.
file(GLOB_RECURSE everything RELATIVE ${SOURCE} ${SOURCE}/*.h ${SOURCE}/*.cpp)
foreach(file IN LISTS everything)
  if(file MATCHES "^(net/portmap/|build)")
    continue()
  endif()
  file(STRINGS ${SOURCE}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<(miniupnpc|natpmp)")
  foreach(line IN LISTS lines)
    message("${file}: ${line}, which only net/portmap/ may include")
    math(EXPR failures "${failures} + 1")
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} includes break the plan in docs/architecture.md")
endif()
message("every folder includes only what docs/architecture.md allows")
