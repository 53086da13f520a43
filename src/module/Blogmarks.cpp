#include "module/Blogmarks.h"

namespace plentor {

Blogmarks::Blogmarks() : FormLoginObject(BookmarkService::Blogmarks) {}

} // namespace plentor
