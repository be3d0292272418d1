# Compile options shared by every target of the project.
add_library(kestrava_options INTERFACE)
target_compile_options(kestrava_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(kestrava_options INTERFACE BOOST_ASIO_NO_DEPRECATED)
if(KESTRAVA_SANITIZE)
    target_compile_options(kestrava_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                      -fno-omit-frame-pointer)
    target_link_options(kestrava_options INTERFACE -fsanitize=address,undefined)
endif()
if(KESTRAVA_FUZZ)
    target_compile_options(kestrava_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                      -fno-sanitize-recover=all)
    target_link_options(kestrava_options INTERFACE -fsanitize=address,undefined)
endif()

# kestrava_library(NAME FOLDER [DEPENDS ...] [EXCLUDE REGEX]): a static library of every source below
# FOLDER, less those whose path matches REGEX.
function(kestrava_library name folder)
    cmake_parse_arguments(ARG "" "EXCLUDE" "DEPENDS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    if(ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX ${ARG_EXCLUDE})
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC kestrava_options ${ARG_DEPENDS})
endfunction()
