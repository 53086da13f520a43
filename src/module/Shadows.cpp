#include "module/Shadows.h"

#include "module/BoundaryText.h"

namespace plentor {

std::u16string Shadows::GetLogin() const { return BoundaryText::FromAnsi(login_); }

void Shadows::SetLogin(HostString login) { BoundaryText::ToAnsi(login, login_); }

std::u16string Shadows::GetPassword() const { return BoundaryText::FromAnsi(password_); }

void Shadows::SetPassword(HostString password) { BoundaryText::ToAnsi(password, password_); }

long Shadows::Submit(HostString url, HostString title, HostString extended, HostString tags)
{
    const StringBuffer ansiUrl = BoundaryText::ToAnsi(url);
    const StringBuffer ansiTitle = BoundaryText::ToAnsi(title);
    const StringBuffer ansiExtended = BoundaryText::ToAnsi(extended);
    const StringBuffer ansiTags = BoundaryText::ToAnsi(tags);
    return BoundaryText::Success(client_.ShadowsSubmit(login_.GetString(), password_.GetString(), ansiUrl.GetString(),
                                                       ansiTitle.GetString(), ansiExtended.GetString(),
                                                       ansiTags.GetString()));
}

} // namespace plentor
