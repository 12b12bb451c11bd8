# Warnings for the project's own targets; third-party headers come in as system headers.
add_library(nomilo_warnings INTERFACE)
target_compile_options(nomilo_warnings INTERFACE -Wall -Wextra -Wpedantic)
