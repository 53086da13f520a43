#include "module/QuorlaneSubmit.h"

#include "module/BoundaryText.h"
#include "text/XString.h"

namespace plentor {

long QuorlaneSubmit::Login(HostString username, HostString password)
{
    return BoundaryText::Success(client_.Login(BoundaryText::ToUnicode(username), BoundaryText::ToUnicode(password)));
}

long QuorlaneSubmit::Submit1(HostString category, HostString tag, HostString url, HostString title,
                             HostString extended)
{
    const bool ok = client_.AddEntry(BoundaryText::ToUnicode(category), BoundaryText::ToUnicode(tag),
                                     BoundaryText::ToUnicode(url), BoundaryText::ToUnicode(title),
                                     BoundaryText::ToUnicode(extended));
    return BoundaryText::Success(ok);
}

long QuorlaneSubmit::Submit(HostString category, HostString url, HostString title, HostString extended,
                            HostString tags)
{
    const bool ok = client_.AddToTags(BoundaryText::ToUnicode(category), BoundaryText::ToUnicode(tags),
                                      BoundaryText::ToUnicode(url), BoundaryText::ToUnicode(title),
                                      BoundaryText::ToUnicode(extended));
    return BoundaryText::Success(ok);
}

} // namespace plentor
