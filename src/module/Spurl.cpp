#include "module/Spurl.h"

namespace plentor {

Spurl::Spurl() : FormLoginObject(BookmarkService::Spurl) {}

} // namespace plentor
