#include "module/Shadows.h"

namespace plentor {

Shadows::Shadows() : AccountObject(BookmarkService::Shadows) {}

long Shadows::Submit(HostString url, HostString title, HostString extended, HostString tags)
{
    return SubmitBookmark(url, title, extended, tags);
}

} // namespace plentor
