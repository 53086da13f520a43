#pragma once

#include "module/HostString.h"
#include "services/FormField.h"
#include "text/StringBuffer.h"

namespace plentor {

// A bookmark handed in by the host, turned into the active ANSI code page
// for the clients; it lives for the duration of one call.
class AnsiBookmark {
public:
    AnsiBookmark(HostString url, HostString title, HostString extended, HostString tags);

    // The four values as the clients take them.
    FormField::Values Values() const;

private:
    StringBuffer url_;
    StringBuffer title_;
    StringBuffer extended_;
    StringBuffer tags_;
};

} // namespace plentor
