# Sanitizer builds apply to every target, the tests included.
if(QUORAVI_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(QUORAVI_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT QUORAVI_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QUORAVI_SANITIZE must be empty, 'address' or 'thread'")
endif()
