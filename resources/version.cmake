# The program's version record: the one place its version and names are written. The build
# (project version, the About box, the desktop metadata, the package) takes them from here.
set(NOMILO_FILE_VERSION "2.0.1.0")
set(NOMILO_PRODUCT_VERSION "2.0")
set(NOMILO_PRODUCT_NAME "Nomilo / Velkaro")
set(NOMILO_INTERNAL_NAME "Nomilo")
set(NOMILO_FILE_DESCRIPTION "renames multiple files")
set(NOMILO_COMPANY_NAME "Kestrio")
set(NOMILO_COMMENTS "This programe is freeware.")
set(NOMILO_COPYRIGHT "Copyright © 2026 Kestrio")
set(NOMILO_HOMEPAGE "https://kestrio.example/nomilo")
