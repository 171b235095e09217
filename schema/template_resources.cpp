#include "schema/template_resources.h"

namespace mirrox {

const char* templateResourcePath(int dbType) {
  switch (dbType) {
    case 0:
      return kMeteringTemplateResource;
    case 1:
      return kJournalTemplateResource;
    default:
      return nullptr;
  }
}

}  // namespace mirrox
