#include "module/win32/ControlObject.h"

#include "module/win32/ComModule.h"

#include <cstring>

namespace plentor::com {

namespace {

// A new control is two inches square (HIMETRIC: hundredths of a millimetre).
constexpr LONG kDefaultExtent = 2 * 2540;
// The persisted form: the format's version, then "_cx" and "_cy".
constexpr DWORD kStreamVersion = 0x0300;
constexpr ULONG kStreamBytes = 3 * sizeof(DWORD);
// Invisible at run time, activate when visible, inside-out, set client site
// first, cannot link inside, recompose on resize.
constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME;
static_assert(kMiscStatus == 132497);
constexpr DWORD kViewStatus = VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE;
// The stream an IPersistStorage form keeps the state in.
constexpr wchar_t kContentsStream[] = L"Contents";

template <class T>
void Assign(T*& slot, T* value)
{
    if (value != nullptr)
        value->AddRef();
    if (slot != nullptr)
        slot->Release();
    slot = value;
}

template <class T>
void Clear(T*& slot)
{
    if (slot != nullptr) {
        T* old = slot;
        slot = nullptr;
        old->Release();
    }
}

// Writes exactly size bytes.
HRESULT WriteAll(IStream* stream, const void* data, ULONG size)
{
    ULONG written = 0;
    const HRESULT hr = stream->Write(data, size, &written);
    if (FAILED(hr))
        return hr;
    return written == size ? S_OK : STG_E_WRITEFAULT;
}

// Reads exactly size bytes; a stream that ends first is a read fault.
HRESULT ReadAll(IStream* stream, void* data, ULONG size)
{
    ULONG read = 0;
    const HRESULT hr = stream->Read(data, size, &read);
    if (FAILED(hr))
        return hr;
    return read == size ? S_OK : STG_E_READFAULT;
}

// HIMETRIC to device pixels of the screen.
SIZE ToPixels(const SIZEL& himetric)
{
    HDC screen = GetDC(nullptr);
    const int dpiX = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return SIZE{MulDiv(himetric.cx, dpiX, 2540), MulDiv(himetric.cy, dpiY, 2540)};
}

} // namespace

ControlObject::ControlObject(IUnknown* controlling, const ControlClass& info)
    : controlling_(controlling), class_(info), extent_{kDefaultExtent, kDefaultExtent}
{
}

ControlObject::~ControlObject()
{
    ReleaseInPlaceSite();
    Clear(viewSink_);
    Clear(oleAdvise_);
    Clear(dataAdvise_);
    Clear(site_);
}

void* ControlObject::Find(REFIID iid)
{
    if (IsEqualIID(iid, IID_IViewObjectEx) || IsEqualIID(iid, IID_IViewObject2) || IsEqualIID(iid, IID_IViewObject))
        return static_cast<IViewObjectEx*>(this);
    if (IsEqualIID(iid, IID_IOleInPlaceObjectWindowless) || IsEqualIID(iid, IID_IOleInPlaceObject) ||
        IsEqualIID(iid, IID_IOleWindow))
        return static_cast<IOleInPlaceObjectWindowless*>(this);
    if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
        return static_cast<IOleInPlaceActiveObject*>(this);
    if (IsEqualIID(iid, IID_IOleControl))
        return static_cast<IOleControl*>(this);
    if (IsEqualIID(iid, IID_IOleObject))
        return static_cast<IOleObject*>(this);
    if (IsEqualIID(iid, IID_IPersistStreamInit) || IsEqualIID(iid, IID_IPersist))
        return static_cast<IPersistStreamInit*>(this);
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
        return static_cast<ISpecifyPropertyPages*>(this);
    if (IsEqualIID(iid, IID_IQuickActivate))
        return static_cast<IQuickActivate*>(this);
    if (IsEqualIID(iid, IID_IPersistStorage))
        return static_cast<IPersistStorage*>(this);
    if (IsEqualIID(iid, IID_IDataObject))
        return static_cast<IDataObject*>(this);
    if (IsEqualIID(iid, IID_IProvideClassInfo2) || IsEqualIID(iid, IID_IProvideClassInfo))
        return static_cast<IProvideClassInfo2*>(this);
    return nullptr;
}

HRESULT ControlObject::QueryInterface(REFIID iid, void** out) { return controlling_->QueryInterface(iid, out); }
ULONG ControlObject::AddRef() { return controlling_->AddRef(); }
ULONG ControlObject::Release() { return controlling_->Release(); }

// ---- drawing and the view ----

void ControlObject::DrawContent(HDC dc, const RECT& bounds) const
{
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    const UINT oldAlign = SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    TextOutW(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, class_.caption,
             static_cast<int>(std::wcslen(class_.caption)));
    SetTextAlign(dc, oldAlign);
}

HRESULT ControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, LPCRECTL bounds, LPCRECTL,
                            BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (drawDc == nullptr)
        return E_INVALIDARG;
    RECT area;
    if (bounds != nullptr) {
        area = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (inPlaceSite_ != nullptr && windowless_) {
        area = position_;   // a windowless control draws where the site placed it
    } else {
        return E_INVALIDARG;
    }
    DrawContent(drawDc, area);
    return S_OK;
}

HRESULT ControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors)
{
    if (colors != nullptr)
        *colors = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT ControlObject::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT ControlObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    Assign(viewSink_, sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    if (sink != nullptr && (flags & ADVF_PRIMEFIRST) != 0)
        sink->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

HRESULT ControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects != nullptr)
        *aspects = viewAspects_;
    if (flags != nullptr)
        *flags = viewFlags_;
    if (sink != nullptr) {
        *sink = viewSink_;
        if (viewSink_ != nullptr)
            viewSink_->AddRef();
    }
    return S_OK;
}

HRESULT ControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    *size = extent_;
    return S_OK;
}

HRESULT ControlObject::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

HRESULT ControlObject::GetViewStatus(DWORD* status)
{
    if (status == nullptr)
        return E_POINTER;
    *status = kViewStatus;
    return S_OK;
}

HRESULT ControlObject::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* result)
{
    if (bounds == nullptr || result == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    *result = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT ControlObject::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG, DWORD* result)
{
    if (bounds == nullptr || rect == nullptr || result == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    RECT common;
    *result = IntersectRect(&common, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT ControlObject::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO* info, LPSIZEL size)
{
    if (info == nullptr || size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT || info->dwExtentMode != DVEXTENT_CONTENT)
        return E_NOTIMPL;
    *size = extent_;
    return S_OK;
}

void ControlObject::ViewChanged()
{
    if (inPlaceSite_ != nullptr && windowless_) {
        IOleInPlaceSiteWindowless* windowless = nullptr;
        if (SUCCEEDED(inPlaceSite_->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                   reinterpret_cast<void**>(&windowless)))) {
            windowless->InvalidateRect(nullptr, TRUE);
            windowless->Release();
            return;
        }
    }
    if (viewSink_ != nullptr)
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---- in place ----

HRESULT ControlObject::GetWindow(HWND* window)
{
    if (window == nullptr)
        return E_POINTER;
    *window = nullptr;
    return E_FAIL;   // windowless: there is no window of our own
}

HRESULT ControlObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT ControlObject::ActivateInPlace(LONG verb)
{
    if (site_ == nullptr)
        return E_FAIL;
    if (inPlaceSite_ == nullptr) {
        IOleInPlaceSiteWindowless* windowless = nullptr;
        IOleInPlaceSiteEx* extended = nullptr;
        IOleInPlaceSite* plain = nullptr;
        if (SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless))) &&
            windowless->CanWindowlessActivate() != S_OK) {
            windowless->Release();
            windowless = nullptr;
        }
        if (windowless == nullptr &&
            FAILED(site_->QueryInterface(IID_IOleInPlaceSiteEx, reinterpret_cast<void**>(&extended))))
            extended = nullptr;
        if (windowless == nullptr && extended == nullptr &&
            FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&plain))))
            return E_FAIL;
        IOleInPlaceSite* site = windowless != nullptr  ? static_cast<IOleInPlaceSite*>(windowless)
                                : extended != nullptr ? static_cast<IOleInPlaceSite*>(extended)
                                                      : plain;
        const HRESULT can = site->CanInPlaceActivate();
        if (can != S_OK) {
            site->Release();
            return FAILED(can) ? can : E_FAIL;
        }
        BOOL noRedraw = FALSE;
        HRESULT hr;
        if (windowless != nullptr)
            hr = windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
        else if (extended != nullptr)
            hr = extended->OnInPlaceActivateEx(&noRedraw, 0);
        else
            hr = plain->OnInPlaceActivate();
        if (FAILED(hr)) {
            site->Release();
            return hr;
        }
        inPlaceSite_ = site;   // keeps the reference the question gave
        windowless_ = windowless != nullptr;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo)))
            position_ = position;
        if (frame != nullptr)
            frame->Release();
        if (document != nullptr)
            document->Release();
    }
    if (verb == OLEIVERB_UIACTIVATE && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (windowless_) {
            IOleInPlaceSiteWindowless* windowless = nullptr;
            if (SUCCEEDED(inPlaceSite_->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                       reinterpret_cast<void**>(&windowless)))) {
                windowless->SetFocus(TRUE);
                windowless->Release();
            }
        }
    }
    return S_OK;
}

void ControlObject::ReleaseInPlaceSite()
{
    Clear(inPlaceSite_);
    windowless_ = false;
    uiActive_ = false;
}

HRESULT ControlObject::InPlaceDeactivate()
{
    if (inPlaceSite_ == nullptr)
        return S_OK;
    UIDeactivate();
    IOleInPlaceSite* site = inPlaceSite_;
    site->AddRef();
    IOleInPlaceSiteEx* extended = nullptr;
    if (SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSiteEx, reinterpret_cast<void**>(&extended)))) {
        extended->OnInPlaceDeactivateEx(TRUE);
        extended->Release();
    } else {
        site->OnInPlaceDeactivate();
    }
    ReleaseInPlaceSite();
    site->Release();
    return S_OK;
}

HRESULT ControlObject::UIDeactivate()
{
    if (!uiActive_ || inPlaceSite_ == nullptr)
        return S_OK;
    uiActive_ = false;
    inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT ControlObject::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (position == nullptr)
        return E_POINTER;
    position_ = *position;
    return S_OK;
}

HRESULT ControlObject::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT ControlObject::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result)
{
    if (result != nullptr)
        *result = 0;
    return S_FALSE;   // nothing is handled: the container's default applies
}

HRESULT ControlObject::GetDropTarget(IDropTarget** target)
{
    if (target != nullptr)
        *target = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT ControlObject::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT ControlObject::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT ControlObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT ControlObject::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl ----

HRESULT ControlObject::GetControlInfo(CONTROLINFO*) { return E_NOTIMPL; }
HRESULT ControlObject::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT ControlObject::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT ControlObject::FreezeEvents(BOOL) { return S_OK; }

// ---- IOleObject ----

HRESULT ControlObject::SetClientSite(IOleClientSite* site)
{
    Assign(site_, site);
    return S_OK;
}

HRESULT ControlObject::GetClientSite(IOleClientSite** site)
{
    if (site == nullptr)
        return E_POINTER;
    *site = site_;
    if (site_ != nullptr)
        site_->AddRef();
    return S_OK;
}

HRESULT ControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT ControlObject::Close(DWORD)
{
    InPlaceDeactivate();
    if (oleAdvise_ != nullptr)
        oleAdvise_->SendOnClose();
    return S_OK;
}

HRESULT ControlObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT ControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker != nullptr)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT ControlObject::GetClipboardData(DWORD, IDataObject** data)
{
    if (data != nullptr)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT position)
{
    if (site_ == nullptr && site != nullptr)
        Assign(site_, site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE: {
        const HRESULT hr = ActivateInPlace(verb == OLEIVERB_UIACTIVATE ? OLEIVERB_UIACTIVATE : OLEIVERB_INPLACEACTIVATE);
        if (SUCCEEDED(hr) && position != nullptr)
            position_ = *position;
        return hr;
    }
    case OLEIVERB_HIDE:
        UIDeactivate();
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
    case OLEIVERB_PROPERTIES:   // there are no property pages to show
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT ControlObject::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (verbs == nullptr)
        return E_POINTER;
    return OleRegEnumVerbs(class_.clsid, verbs);
}

HRESULT ControlObject::Update() { return S_OK; }
HRESULT ControlObject::IsUpToDate() { return S_OK; }

HRESULT ControlObject::GetUserClassID(CLSID* clsid)
{
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = class_.clsid;
    return S_OK;
}

HRESULT ControlObject::GetUserType(DWORD form, LPOLESTR* type)
{
    if (type == nullptr)
        return E_POINTER;
    return OleRegGetUserType(class_.clsid, form, type);
}

HRESULT ControlObject::ResizeTo(const SIZEL& size)
{
    if (size.cx < 0 || size.cy < 0)
        return E_INVALIDARG;   // the extent is kept and persisted unsigned
    if (size.cx == extent_.cx && size.cy == extent_.cy)
        return S_OK;
    extent_ = size;
    dirty_ = true;
    // Recomposed on resize: the data and the picture change with the size.
    if (dataAdvise_ != nullptr)
        dataAdvise_->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
    ViewChanged();
    return S_OK;
}

HRESULT ControlObject::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (size == nullptr)
        return E_POINTER;
    return ResizeTo(*size);
}

HRESULT ControlObject::GetExtent(DWORD aspect, SIZEL* size)
{
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    *size = extent_;
    return S_OK;
}

HRESULT ControlObject::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (sink == nullptr || connection == nullptr)
        return E_POINTER;
    *connection = 0;
    if (oleAdvise_ == nullptr) {
        const HRESULT hr = CreateOleAdviseHolder(&oleAdvise_);
        if (FAILED(hr))
            return hr;
    }
    return oleAdvise_->Advise(sink, connection);
}

HRESULT ControlObject::Unadvise(DWORD connection)
{
    return oleAdvise_ != nullptr ? oleAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT ControlObject::EnumAdvise(IEnumSTATDATA** advises)
{
    if (advises == nullptr)
        return E_POINTER;
    *advises = nullptr;
    return oleAdvise_ != nullptr ? oleAdvise_->EnumAdvise(advises) : E_FAIL;
}

HRESULT ControlObject::GetMiscStatus(DWORD aspect, DWORD* status)
{
    if (status == nullptr)
        return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

HRESULT ControlObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- persistence ----

HRESULT ControlObject::GetClassID(CLSID* clsid)
{
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = class_.clsid;
    return S_OK;
}

HRESULT ControlObject::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT ControlObject::Load(IStream* stream)
{
    if (stream == nullptr)
        return E_POINTER;
    // Everything is read before anything changes: a bad stream leaves the
    // control as it was.
    DWORD values[3] = {};
    const HRESULT hr = ReadAll(stream, values, kStreamBytes);
    if (FAILED(hr))
        return hr;
    if (values[0] > kStreamVersion)
        return E_FAIL;
    if (values[1] > static_cast<DWORD>(MAXLONG) || values[2] > static_cast<DWORD>(MAXLONG))
        return E_FAIL;
    extent_ = SIZEL{static_cast<LONG>(values[1]), static_cast<LONG>(values[2])};
    dirty_ = false;
    return S_OK;
}

HRESULT ControlObject::Save(IStream* stream, BOOL clearDirty)
{
    if (stream == nullptr)
        return E_POINTER;
    const DWORD values[3] = {kStreamVersion, static_cast<DWORD>(extent_.cx), static_cast<DWORD>(extent_.cy)};
    const HRESULT hr = WriteAll(stream, values, kStreamBytes);
    if (SUCCEEDED(hr) && clearDirty)
        dirty_ = false;
    return hr;
}

HRESULT ControlObject::GetSizeMax(ULARGE_INTEGER* size)
{
    if (size == nullptr)
        return E_POINTER;
    size->QuadPart = kStreamBytes;
    return S_OK;
}

HRESULT ControlObject::InitNew()
{
    dirty_ = false;
    return S_OK;
}

HRESULT ControlObject::InitNew(IStorage* storage)
{
    if (storage == nullptr)
        return E_POINTER;
    return InitNew();
}

HRESULT ControlObject::Load(IStorage* storage)
{
    if (storage == nullptr)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (FAILED(hr))
        return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

HRESULT ControlObject::Save(IStorage* storage, BOOL)
{
    if (storage == nullptr)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(kContentsStream, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0,
                                       &stream);
    if (FAILED(hr))
        return hr;
    hr = Save(stream, TRUE);
    stream->Release();
    return hr;
}

HRESULT ControlObject::SaveCompleted(IStorage*) { return S_OK; }
HRESULT ControlObject::HandsOffStorage() { return S_OK; }

// ---- property pages, quick activation ----

HRESULT ControlObject::GetPages(CAUUID* pages)
{
    if (pages == nullptr)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

HRESULT ControlObject::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (container == nullptr || control == nullptr)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    if (container->pClientSite != nullptr)
        SetClientSite(container->pClientSite);
    if (container->pAdviseSink != nullptr)
        SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwMiscStatus = kMiscStatus;
    control->dwViewStatus = kViewStatus;
    control->dwEventCookie = 0;   // no events
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT ControlObject::SetContentExtent(LPSIZEL size)
{
    if (size == nullptr)
        return E_POINTER;
    return ResizeTo(*size);
}

HRESULT ControlObject::GetContentExtent(LPSIZEL size)
{
    if (size == nullptr)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

// ---- data ----

HRESULT ControlObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (format == nullptr || medium == nullptr)
        return E_POINTER;
    std::memset(medium, 0, sizeof *medium);
    if (format->cfFormat != CF_METAFILEPICT || (format->tymed & TYMED_MFPICT) == 0)
        return DV_E_FORMATETC;
    if (format->dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    // The picture as a metafile in the extent's proportions.
    const SIZE pixels = ToPixels(extent_);
    HDC dc = CreateMetaFileW(nullptr);
    if (dc == nullptr)
        return E_OUTOFMEMORY;
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, pixels.cx, pixels.cy, nullptr);
    DrawContent(dc, RECT{0, 0, pixels.cx, pixels.cy});
    HMETAFILE metafile = CloseMetaFile(dc);
    if (metafile == nullptr)
        return E_OUTOFMEMORY;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT));
    METAFILEPICT* picture = memory != nullptr ? static_cast<METAFILEPICT*>(GlobalLock(memory)) : nullptr;
    if (picture == nullptr) {
        if (memory != nullptr)
            GlobalFree(memory);
        DeleteMetaFile(metafile);
        return E_OUTOFMEMORY;
    }
    picture->mm = MM_ANISOTROPIC;
    picture->xExt = extent_.cx;
    picture->yExt = extent_.cy;
    picture->hMF = metafile;
    GlobalUnlock(memory);
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT ControlObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT ControlObject::QueryGetData(FORMATETC*) { return E_NOTIMPL; }

HRESULT ControlObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out != nullptr)
        out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT ControlObject::EnumFormatEtc(DWORD, IEnumFORMATETC** formats)
{
    if (formats != nullptr)
        *formats = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (format == nullptr || sink == nullptr || connection == nullptr)
        return E_POINTER;
    *connection = 0;
    if (dataAdvise_ == nullptr) {
        const HRESULT hr = CreateDataAdviseHolder(&dataAdvise_);
        if (FAILED(hr))
            return hr;
    }
    return dataAdvise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

HRESULT ControlObject::DUnadvise(DWORD connection)
{
    return dataAdvise_ != nullptr ? dataAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT ControlObject::EnumDAdvise(IEnumSTATDATA** advises)
{
    if (advises == nullptr)
        return E_POINTER;
    *advises = nullptr;
    return dataAdvise_ != nullptr ? dataAdvise_->EnumAdvise(advises) : E_FAIL;
}

// ---- class information ----

HRESULT ControlObject::GetClassInfo(ITypeInfo** info)
{
    if (info == nullptr)
        return E_POINTER;
    return ComModule::Instance().ClassTypeInfo(class_.clsid, info);
}

HRESULT ControlObject::GetGUID(DWORD kind, GUID* guid)
{
    if (guid == nullptr)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    *guid = IID_NULL;   // the objects fire no events
    return S_OK;
}

} // namespace plentor::com
