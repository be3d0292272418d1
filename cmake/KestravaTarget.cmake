# Compile options shared by every target of the project.
add_library(kestrava_options INTERFACE)
target_compile_options(kestrava_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(kestrava_options INTERFACE BOOST_ASIO_NO_DEPRECATED)
if(KESTRAVA_SANITIZE)
    # -O1 and line tables only: the sanitizers find the same faults, and the tree builds in half the time.
    # GCC's may-be-uninitialized analysis misfires inside Boost at -O1; the optimised build keeps it.
    # clang 14 cannot emit coroutines checked for function-type mismatches ("Cannot represent a difference
    # across sections").
    target_compile_options(kestrava_options INTERFACE -O1 -g1 $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>
                                                      -fsanitize=address,undefined -fno-sanitize-recover=all
                                                      $<$<CXX_COMPILER_ID:Clang>:-fno-sanitize=function>
                                                      -fno-omit-frame-pointer)
    target_link_options(kestrava_options INTERFACE -fsanitize=address,undefined)
endif()
if(NOT KESTRAVA_SANITIZE AND NOT KESTRAVA_FUZZ)
    # What ships is built hardened, and so is everything the tests run, so that they test the same code:
    # checked buffer functions (they need optimisation), stack canaries, no format string from data, a
    # symbol table made read-only after start-up, and no shared object linked with a symbol left undefined
    # (our libraries are static, and a program refuses one anyway). The sanitizer and fuzz trees check
    # all this and more.
    set(optimised $<NOT:$<CONFIG:Debug>>)
    target_compile_options(kestrava_options INTERFACE -fstack-protector-strong -Werror=format-security
                                                      $<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>)
    target_link_options(kestrava_options INTERFACE LINKER:-z,relro LINKER:-z,now LINKER:--no-undefined)
endif()
if(KESTRAVA_FUZZ)
    # Without the function-type check, as in the sanitizer tree.
    target_compile_options(kestrava_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                      -fno-sanitize=function -fno-sanitize-recover=all)
    target_link_options(kestrava_options INTERFACE -fsanitize=address,undefined)
endif()

# Each library's include root lives in the build tree and holds links to its own folders only, under the
# paths the sources spell ("platform/json/Reader.hpp"). A library therefore reaches the headers of the
# libraries it links and no others: an include that breaks the layering does not compile.
set(KESTRAVA_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include-roots)

# kestrava_library(NAME FOLDERS folder... [DEPENDS target...]): a static library of the sources directly
# in each FOLDER (relative to the current source folder), exporting those folders and nothing else.
function(kestrava_library name)
    cmake_parse_arguments(ARG "" "" "FOLDERS;DEPENDS" ${ARGN})
    set(root ${KESTRAVA_INCLUDE_ROOTS}/${name})
    set(sources)
    set(headers)
    foreach(folder ${ARG_FOLDERS})
        get_filename_component(source_folder ${folder} ABSOLUTE)
        file(RELATIVE_PATH spelled ${CMAKE_SOURCE_DIR} ${source_folder})
        file(GLOB found CONFIGURE_DEPENDS ${source_folder}/*.cpp)
        list(APPEND sources ${found})
        file(GLOB found RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS ${source_folder}/*.hpp)
        list(APPEND headers ${found})
        get_filename_component(parent ${root}/${spelled} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${source_folder} ${root}/${spelled} SYMBOLIC)
    endforeach()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC kestrava_options ${ARG_DEPENDS})

    # Remembered for kestrava_check_layering().
    set_property(GLOBAL APPEND PROPERTY KESTRAVA_LIBRARIES ${name})
    set_property(GLOBAL PROPERTY KESTRAVA_DEPENDS_${name} ${ARG_DEPENDS})
    list(SORT headers)
    list(GET headers 0 sample)
    set_property(GLOBAL PROPERTY KESTRAVA_SAMPLE_HEADER_${name} ${sample})
endfunction()

# The libraries `name` links, directly or through others, among ours.
function(kestrava_reached name out)
    set(reached)
    get_property(depends GLOBAL PROPERTY KESTRAVA_DEPENDS_${name})
    get_property(libraries GLOBAL PROPERTY KESTRAVA_LIBRARIES)
    foreach(dependency ${depends})
        if(dependency IN_LIST libraries)
            kestrava_reached(${dependency} below)
            list(APPEND reached ${dependency} ${below})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES reached)
    set(${out} ${reached} PARENT_SCOPE)
endfunction()

# Compiles into every library a check that no header of a library it does not link is visible to it, so
# that a wider include root (the whole source tree, say) fails the build instead of hiding a broken layer.
function(kestrava_check_layering)
    get_property(libraries GLOBAL PROPERTY KESTRAVA_LIBRARIES)
    foreach(name ${libraries})
        kestrava_reached(${name} reached)
        set(probe "// Generated: the headers ${name} must not see.\n")
        foreach(other ${libraries})
            if(NOT other STREQUAL name AND NOT other IN_LIST reached)
                get_property(header GLOBAL PROPERTY KESTRAVA_SAMPLE_HEADER_${other})
                string(APPEND probe "#if __has_include(\"${header}\")\n"
                                    "#error \"${name} reaches ${other} (${header}), which it does not link\"\n"
                                    "#endif\n")
            endif()
        endforeach()
        set(file ${CMAKE_BINARY_DIR}/layering/${name}.cpp)
        file(CONFIGURE OUTPUT ${file} CONTENT "${probe}" @ONLY)
        target_sources(${name} PRIVATE ${file})
    endforeach()
endfunction()
