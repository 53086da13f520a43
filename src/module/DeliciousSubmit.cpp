#include "module/DeliciousSubmit.h"

#include "module/BoundaryText.h"
#include "services/ClsStringArray.h"
#include "services/Sleeper.h"

#include <climits>

namespace plentor {

std::u16string DeliciousSubmit::GetLogin() { return BoundaryText::FromAnsi(client_.Login()); }

void DeliciousSubmit::SetLogin(HostString login) { BoundaryText::ToAnsi(login, client_.Login()); }

std::u16string DeliciousSubmit::GetPassword() { return BoundaryText::FromAnsi(client_.Password()); }

void DeliciousSubmit::SetPassword(HostString password) { BoundaryText::ToAnsi(password, client_.Password()); }

long DeliciousSubmit::SubmitExplicit(HostString url, HostString title, HostString extended, HostString tags)
{
    const StringBuffer ansiUrl = BoundaryText::ToAnsi(url);
    const StringBuffer ansiTitle = BoundaryText::ToAnsi(title);
    const StringBuffer ansiExtended = BoundaryText::ToAnsi(extended);
    const StringBuffer ansiTags = BoundaryText::ToAnsi(tags);
    return BoundaryText::Success(client_.SubmitExplicit(ansiUrl.GetString(), ansiTitle.GetString(),
                                                        ansiExtended.GetString(), ansiTags.GetString()));
}

long DeliciousSubmit::SubmitUrl(HostString url)
{
    lastTitle_.Clear();
    lastExtended_.Clear();
    lastTags_.Clear();
    return BoundaryText::Success(
        client_.SubmitUrl(BoundaryText::ToAnsi(url).GetString(), lastTitle_, lastExtended_, lastTags_));
}

long DeliciousSubmit::FetchPageInfo(HostString url)
{
    lastTitle_.Clear();
    lastExtended_.Clear();
    lastTags_.Clear();
    return BoundaryText::Success(
        client_.FetchPageInfo(BoundaryText::ToAnsi(url).GetString(), lastTitle_, lastExtended_, lastTags_));
}

std::u16string DeliciousSubmit::GetLastTitle() const { return BoundaryText::FromUtf8(lastTitle_); }

std::u16string DeliciousSubmit::GetLastExtended() const { return BoundaryText::FromUtf8(lastExtended_); }

std::u16string DeliciousSubmit::GetLastTags() const { return BoundaryText::FromUtf8(lastTags_); }

long DeliciousSubmit::GetNumLinks() { return client_.Links().Count(); }

std::u16string DeliciousSubmit::GetLink(long index)
{
    StringBuffer link;
    // An index beyond int cannot name an entry; GetString refuses the rest.
    if (index < 0 || index > INT_MAX || !client_.Links().GetString(static_cast<int>(index), link))
        return std::u16string();
    return BoundaryText::FromAnsi(link);
}

void DeliciousSubmit::ClearLinks() { client_.Links().Clear(); }

long DeliciousSubmit::LoadUrls(HostString filename)
{
    return BoundaryText::Success(
        client_.Links().LoadFromFile(BoundaryText::ToAnsi(filename).GetString(), client_.GetLog()));
}

void DeliciousSubmit::SleepSec(long seconds) { Sleeper::SleepSec(seconds, client_.GetLog()); }

} // namespace plentor
