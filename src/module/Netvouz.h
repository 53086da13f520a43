#pragma once

#include "module/FormLoginObject.h"

namespace plentor {

// The Netvouz object: a form-login object for the Netvouz site.
class Netvouz : public FormLoginObject {
public:
    Netvouz();
};

} // namespace plentor
