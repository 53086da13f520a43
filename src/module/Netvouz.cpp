#include "module/Netvouz.h"

namespace plentor {

Netvouz::Netvouz() : FormLoginObject(BookmarkService::Netvouz) {}

} // namespace plentor
