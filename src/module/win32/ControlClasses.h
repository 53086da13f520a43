#pragma once

#include "module/win32/ControlObject.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The control half's facts for each of the eight classes: the class
// identifier it reports and the caption it draws.
inline const ControlClass kDeliciousSubmitControl{CLSID_DeliciousSubmit, L"DeliciousSubmit"};
inline const ControlClass kFurlSubmitControl{CLSID_FurlSubmit, L"ATL 3.0 : FurlSubmit"};
inline const ControlClass kNetvouzControl{CLSID_Netvouz, L"ATL 3.0 : Netvouz"};
inline const ControlClass kShadowsControl{CLSID_Shadows, L"ATL 3.0 : Shadows"};
inline const ControlClass kSpurlControl{CLSID_Spurl, L"ATL 3.0 : Spurl"};
inline const ControlClass kBlogmarksControl{CLSID_Blogmarks, L"ATL 3.0 : Blogmarks"};
inline const ControlClass kQuorlaneSubmitControl{CLSID_QuorlaneSubmit, L"ATL 3.0 : QuorlaneSubmit"};
inline const ControlClass kSimpyControl{CLSID_Simpy, L"ATL 3.0 : Simpy"};

} // namespace plentor::com
