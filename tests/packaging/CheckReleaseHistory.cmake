# Checks that the Debian change log and the AppStream metadata list the same releases, in the
# same order and with the same dates, and that the newest is the version being built.
#   cmake -DVERSION=... -DCHANGELOG=... -DMETAINFO=... -P CheckReleaseHistory.cmake
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)

# The change log: "nomilo (VERSION) ..." opens an entry, " -- NAME  Day, DD Mon YYYY ..." closes it.
file(STRINGS ${CHANGELOG} lines)
set(changelog)
foreach(line IN LISTS lines)
    if(line MATCHES "^nomilo \\(([^)]+)\\)")
        set(version ${CMAKE_MATCH_1})
    elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
        list(FIND months ${CMAKE_MATCH_2} month)
        math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
        if(month LESS 10)
            set(month 0${month})
        endif()
        list(APPEND changelog "${version} ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}")
    endif()
endforeach()

# The metadata: <release version="VERSION" date="YYYY-MM-DD">, newest first.
file(READ ${METAINFO} metainfo)
string(REGEX MATCHALL "<release version=\"[^\"]+\" date=\"[^\"]+\"" releases "${metainfo}")
set(appstream)
foreach(release IN LISTS releases)
    string(REGEX REPLACE "<release version=\"([^\"]+)\" date=\"([^\"]+)\"" "\\1 \\2" release
           "${release}")
    list(APPEND appstream "${release}")
endforeach()

if(NOT changelog)
    message(FATAL_ERROR "no release in ${CHANGELOG}")
endif()
if(NOT changelog STREQUAL appstream)
    message(FATAL_ERROR "the change log tells [${changelog}], the metadata [${appstream}]")
endif()
list(GET changelog 0 newest)
string(REGEX REPLACE " .*" "" newest_version "${newest}")
if(NOT newest_version STREQUAL VERSION)
    message(FATAL_ERROR "the newest release is ${newest_version}, the build is ${VERSION}")
endif()
