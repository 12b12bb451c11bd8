# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build. Undefined behaviour
# stops the test that hits it instead of printing a line nobody reads.
set(_nomilo_sanitize -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(${_nomilo_sanitize})
add_link_options(${_nomilo_sanitize})
