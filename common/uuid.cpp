#include "uuid.h"

#include <uuid/uuid.h>

namespace mivet {

std::string newUpperCaseUUID() {
  uuid_t bytes;
  uuid_generate_random(bytes);
  char text[37];
  uuid_unparse_upper(bytes, text);
  return std::string(text, 36);
}

}  // namespace mivet
