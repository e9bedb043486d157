// The one translation unit that compiles toml++'s implementation from the
// installed headers (see TomlPlusPlus.cmake).
#define TOML_IMPLEMENTATION
#include <toml++/toml.h>
