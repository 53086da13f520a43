#include "module/AccountObject.h"

#include "module/AnsiBookmark.h"
#include "module/BoundaryText.h"

namespace plentor {

std::u16string AccountObject::GetLogin() const { return BoundaryText::FromAnsi(login_); }

void AccountObject::SetLogin(HostString login) { BoundaryText::ToAnsi(login, login_); }

std::u16string AccountObject::GetPassword() const { return BoundaryText::FromAnsi(password_); }

void AccountObject::SetPassword(HostString password) { BoundaryText::ToAnsi(password, password_); }

long AccountObject::SubmitBookmark(HostString url, HostString title, HostString extended, HostString tags)
{
    const AnsiBookmark bookmark(url, title, extended, tags);
    return BoundaryText::Success(
        client_.SubmitWithAccount(service_, login_.GetString(), password_.GetString(), bookmark.Values()));
}

} // namespace plentor
