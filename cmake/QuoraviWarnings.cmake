# Every target of the project gets the same warning set; third-party headers are
# included as system headers, so their warnings stay out of the count.
function(quoravi_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                             -Wnon-virtual-dtor -Woverloaded-virtual)
    if(QUORAVI_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Libraries of the project: one per layer.
function(quoravi_library target)
    add_library(${target} STATIC ${ARGN})
    quoravi_warnings(${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
