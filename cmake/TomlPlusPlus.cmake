# toml++ as a header-only library: only the code that checks a TOML file
# compiles it in, and nothing of it is loaded at the start of the programs.
# The package supplies the include path; its shared library is not linked.
find_package(tomlplusplus REQUIRED)
get_target_property(mivetTomlIncludeDirs tomlplusplus::tomlplusplus INTERFACE_INCLUDE_DIRECTORIES)
add_library(mivet_toml_header_only INTERFACE)
target_include_directories(mivet_toml_header_only SYSTEM INTERFACE ${mivetTomlIncludeDirs})
target_compile_definitions(mivet_toml_header_only INTERFACE TOML_HEADER_ONLY=1)
