#include "module/FormLoginObject.h"

#include "module/AnsiBookmark.h"
#include "module/BoundaryText.h"
#include "text/StringBuffer.h"

namespace plentor {

long FormLoginObject::Login(HostString username, HostString password)
{
    return BoundaryText::Success(client_.FormLogin(service_, BoundaryText::ToAnsi(username).GetString(),
                                                   BoundaryText::ToAnsi(password).GetString()));
}

long FormLoginObject::Submit(HostString url, HostString title, HostString extended, HostString tags)
{
    const AnsiBookmark bookmark(url, title, extended, tags);
    return BoundaryText::Success(client_.FormSubmit(service_, bookmark.Values()));
}

} // namespace plentor
