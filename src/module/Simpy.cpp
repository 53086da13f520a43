#include "module/Simpy.h"

namespace plentor {

Simpy::Simpy() : AccountObject(BookmarkService::Simpy) {}

long Simpy::Submit(HostString url, HostString title, HostString tags)
{
    return SubmitBookmark(url, title, HostString(), tags);
}

} // namespace plentor
