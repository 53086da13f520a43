#include "module/Simpy.h"

#include "module/BoundaryText.h"

namespace plentor {

std::u16string Simpy::GetLogin() const { return BoundaryText::FromAnsi(login_); }

void Simpy::SetLogin(HostString login) { BoundaryText::ToAnsi(login, login_); }

std::u16string Simpy::GetPassword() const { return BoundaryText::FromAnsi(password_); }

void Simpy::SetPassword(HostString password) { BoundaryText::ToAnsi(password, password_); }

long Simpy::Submit(HostString url, HostString title, HostString tags)
{
    const StringBuffer ansiUrl = BoundaryText::ToAnsi(url);
    const StringBuffer ansiTitle = BoundaryText::ToAnsi(title);
    const StringBuffer ansiTags = BoundaryText::ToAnsi(tags);
    return BoundaryText::Success(client_.SimpySubmit(login_.GetString(), password_.GetString(), ansiUrl.GetString(),
                                                     ansiTitle.GetString(), ansiTags.GetString()));
}

} // namespace plentor
