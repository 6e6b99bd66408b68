# The native Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake):
# the same sources as on Linux, with src/platform/windows/ in place of
# src/platform/posix/ and the Windows console in place of the terminal.
# Included from the top-level CMakeLists.txt when WIN32 is set.

# The header-only libraries serve both builds, but their CMake packages point
# at the host's /usr/include, which must not be on the cross compiler's path
# (the C library there is the host's). A folder holding links to just these
# two header trees stands in.
set(DIRRIP_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${DIRRIP_HOST_HEADERS})
foreach(tree CLI nlohmann)
  if(NOT EXISTS /usr/include/${tree})
    message(FATAL_ERROR "/usr/include/${tree} is missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK /usr/include/${tree} ${DIRRIP_HOST_HEADERS}/${tree} SYMBOLIC)
endforeach()

# GCC 12 warns wrongly of overlapping copies when it inlines "text" + string
# (its bug 105329) for this target; rather than write every such
# concatenation piece by piece, that one warning stays off here.
set(DIRRIP_WARNINGS -Wall -Wextra -Werror -Wno-restrict)

# Warnings of our own code stay errors; the Windows API is used in its wide
# (UTF-16) form throughout.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The portable entry; on Windows it is called from platform/windows/entry.cpp,
# which takes the wide command line.
set(DIRRIP_MAIN ${PROJECT_SOURCE_DIR}/src/main.cpp)
set(DIRRIP_WINDOWS_ENTRY ${PROJECT_SOURCE_DIR}/src/platform/windows/entry.cpp)

file(GLOB_RECURSE DIRRIP_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp)
list(REMOVE_ITEM DIRRIP_SOURCES ${DIRRIP_MAIN} ${DIRRIP_WINDOWS_ENTRY})
list(FILTER DIRRIP_SOURCES EXCLUDE REGEX "/src/platform/posix/")

# Only src/platform/windows/ may speak to the system; a source elsewhere that
# includes a POSIX header would not build here, so it is named at once.
set(DIRRIP_POSIX_BOUND)
foreach(source ${DIRRIP_SOURCES})
  file(READ ${source} text)
  if(text MATCHES "#include <(unistd|fcntl|dirent|termios|signal|poll|langinfo|sys/[a-z]+)\\.h>")
    list(APPEND DIRRIP_POSIX_BOUND ${source})
  endif()
endforeach()
if(DIRRIP_POSIX_BOUND)
  string(REPLACE "${PROJECT_SOURCE_DIR}/" "" bound "${DIRRIP_POSIX_BOUND}")
  string(REPLACE ";" " " bound "${bound}")
  message(FATAL_ERROR "Windows build: these sources include POSIX headers outside "
                      "src/platform/posix/; move their system calls behind src/platform/: ${bound}")
endif()

add_library(dirrip_lib STATIC ${DIRRIP_SOURCES})
target_include_directories(dirrip_lib PUBLIC ${PROJECT_SOURCE_DIR}/src ${DIRRIP_HOST_HEADERS})
target_compile_options(dirrip_lib PRIVATE ${DIRRIP_WARNINGS})
# RtlGetVersion lives in ntdll, the registry calls in advapi32; the rest is
# kernel32. zlib (the journal's checksums) comes from the mingw sysroot and is
# linked in statically like the rest.
target_link_libraries(dirrip_lib PUBLIC ntdll advapi32 z)

add_executable(dirrip ${DIRRIP_MAIN} ${DIRRIP_WINDOWS_ENTRY})
set_source_files_properties(${DIRRIP_MAIN} PROPERTIES COMPILE_DEFINITIONS main=dirripMain)
target_compile_options(dirrip PRIVATE ${DIRRIP_WARNINGS})
target_link_libraries(dirrip PRIVATE dirrip_lib)
target_link_options(dirrip PRIVATE -municode)

if(DIRRIP_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
