#pragma once

#include "module/FormLoginObject.h"

namespace plentor {

// The Spurl object: a form-login object for the Spurl site.
class Spurl : public FormLoginObject {
public:
    Spurl();
};

} // namespace plentor
