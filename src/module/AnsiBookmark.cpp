#include "module/AnsiBookmark.h"

#include "module/BoundaryText.h"

namespace plentor {

AnsiBookmark::AnsiBookmark(HostString url, HostString title, HostString extended, HostString tags)
    : url_(BoundaryText::ToAnsi(url)), title_(BoundaryText::ToAnsi(title)),
      extended_(BoundaryText::ToAnsi(extended)), tags_(BoundaryText::ToAnsi(tags))
{
}

FormField::Values AnsiBookmark::Values() const
{
    return FormField::Bookmark(url_.GetString(), title_.GetString(), extended_.GetString(), tags_.GetString());
}

} // namespace plentor
