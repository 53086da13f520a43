#include "module/Spurl.h"

#include "module/BoundaryText.h"
#include "text/StringBuffer.h"

namespace plentor {

long Spurl::Login(HostString username, HostString password)
{
    return BoundaryText::Success(
        client_.SpurlLogin(BoundaryText::ToAnsi(username).GetString(), BoundaryText::ToAnsi(password).GetString()));
}

long Spurl::Submit(HostString url, HostString title, HostString extended, HostString tags)
{
    const StringBuffer ansiUrl = BoundaryText::ToAnsi(url);
    const StringBuffer ansiTitle = BoundaryText::ToAnsi(title);
    const StringBuffer ansiExtended = BoundaryText::ToAnsi(extended);
    const StringBuffer ansiTags = BoundaryText::ToAnsi(tags);
    return BoundaryText::Success(client_.SpurlSubmit(ansiUrl.GetString(), ansiTitle.GetString(),
                                                   ansiExtended.GetString(), ansiTags.GetString()));
}

} // namespace plentor
