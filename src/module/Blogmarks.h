#pragma once

#include "module/FormLoginObject.h"

namespace plentor {

// The Blogmarks object: a form-login object for the Blogmarks site.
class Blogmarks : public FormLoginObject {
public:
    Blogmarks();
};

} // namespace plentor
