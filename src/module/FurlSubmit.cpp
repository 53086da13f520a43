#include "module/FurlSubmit.h"

#include "module/BoundaryText.h"

namespace plentor {

long FurlSubmit::Login(HostString username, HostString password)
{
    return BoundaryText::Success(
        client_.Login(BoundaryText::ToAnsi(username).GetString(), BoundaryText::ToAnsi(password).GetString()));
}

long FurlSubmit::QuickSubmit2(HostString title, HostString url)
{
    return BoundaryText::Success(
        client_.QuickSubmit2(BoundaryText::ToAnsi(title).GetString(), BoundaryText::ToAnsi(url).GetString()));
}

long FurlSubmit::QuickSubmit1(HostString url)
{
    return BoundaryText::Success(client_.QuickSubmit1(BoundaryText::ToAnsi(url).GetString()));
}

} // namespace plentor
