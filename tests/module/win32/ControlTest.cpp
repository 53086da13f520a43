// Every Plentor object seen by a container of windowless controls: the
// interfaces it answers and their identity, its persisted state in streams
// and storages, a client site that activates it in place without a window,
// advise connections, quick activation, class information, what it draws and
// the picture it hands out as data.

#include "ComTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using plentor::testsupport::Bstr;
using plentor::testsupport::ClassCase;
using plentor::testsupport::ComRef;
using plentor::testsupport::Credentials;
using plentor::testsupport::kClasses;

using Bytes = std::vector<BYTE>;
using Extent = std::pair<LONG, LONG>;

// OLEMISC_* bits every class reports: invisible at run time, activate when
// visible, inside-out, set client site first, cannot link inside, recompose
// on resize.
constexpr DWORD kMiscStatus = 132497;
// 2 inches in HIMETRIC units: the extent of a new control.
constexpr Extent kNewExtent{5080, 5080};

struct InterfaceCase {
    const char* name;
    const IID* iid;
};

const InterfaceCase kControlInterfaces[] = {
    {"IViewObjectEx", &IID_IViewObjectEx},
    {"IViewObject2", &IID_IViewObject2},
    {"IViewObject", &IID_IViewObject},
    {"IOleInPlaceObjectWindowless", &IID_IOleInPlaceObjectWindowless},
    {"IOleInPlaceObject", &IID_IOleInPlaceObject},
    {"IOleWindow", &IID_IOleWindow},
    {"IOleInPlaceActiveObject", &IID_IOleInPlaceActiveObject},
    {"IOleControl", &IID_IOleControl},
    {"IOleObject", &IID_IOleObject},
    {"IPersistStreamInit", &IID_IPersistStreamInit},
    {"IPersist", &IID_IPersist},
    {"ISpecifyPropertyPages", &IID_ISpecifyPropertyPages},
    {"IQuickActivate", &IID_IQuickActivate},
    {"IPersistStorage", &IID_IPersistStorage},
    {"IDataObject", &IID_IDataObject},
    {"IProvideClassInfo", &IID_IProvideClassInfo},
    {"IProvideClassInfo2", &IID_IProvideClassInfo2},
    {"IDispatch", &IID_IDispatch},
};

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text != 0; ++text)
        out += static_cast<char>(*text);
    return out;
}

template <class Interface>
ComRef<Interface> Query(IUnknown* object, const IID& iid)
{
    ComRef<Interface> result;
    EXPECT_EQ(object->QueryInterface(iid, result.OutVoid()), S_OK);
    return result;
}

ComRef<IUnknown> Identity(IUnknown* object)
{
    return Query<IUnknown>(object, IID_IUnknown);
}

Extent ExtentOf(IUnknown* control)
{
    SIZEL size{-1, -1};
    EXPECT_EQ(Query<IOleObject>(control, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    return {size.cx, size.cy};
}

HRESULT Resize(IUnknown* control, Extent extent)
{
    SIZEL size{extent.first, extent.second};
    return Query<IOleObject>(control, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &size);
}

// A string property written and read by name through the class's own dual
// interface.
void PutText(IUnknown* control, const wchar_t* name, const wchar_t* value)
{
    ComRef<IDispatch> object = Query<IDispatch>(control, IID_IDispatch);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocString(value);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&argument, &putId, 1, 1};
    EXPECT_EQ(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              S_OK);
    VariantClear(&argument);
}

std::wstring GetText(IUnknown* control, const wchar_t* name)
{
    ComRef<IDispatch> object = Query<IDispatch>(control, IID_IDispatch);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              S_OK);
    std::wstring text = result.vt == VT_BSTR && result.bstrVal != nullptr
                            ? std::wstring(result.bstrVal, SysStringLen(result.bstrVal))
                            : L"<not a string>";
    VariantClear(&result);
    return text;
}

ComRef<IStream> MemoryStream(const Bytes& content)
{
    ComRef<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()), S_OK);
    if (!content.empty()) {
        EXPECT_EQ(stream->Write(content.data(), static_cast<ULONG>(content.size()), nullptr), S_OK);
    }
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

Bytes ContentOf(IStream* stream)
{
    LARGE_INTEGER start{};
    EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    Bytes content;
    BYTE block[64];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(block, sizeof block, &read)) && read > 0)
        content.insert(content.end(), block, block + read);
    return content;
}

ComRef<IStorage> TemporaryStorage()
{
    ComRef<IStorage> storage;
    EXPECT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                               storage.Out()),
              S_OK);
    return storage;
}

// A reference count that never frees its owner: the test objects live on the
// stack, and the count tells whether the control gave back what it took.
class Counted {
protected:
    ULONG AddRefCount() { return static_cast<ULONG>(++references); }
    ULONG ReleaseCount() { return static_cast<ULONG>(--references); }

public:
    long references = 1;
};

// A container's change notification sink, as quick activation wants it.
class RecordingSink : public IAdviseSinkEx, public Counted {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IAdviseSink) && !IsEqualIID(iid, IID_IAdviseSinkEx))
            return E_NOINTERFACE;
        *out = static_cast<IAdviseSinkEx*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override { ++dataChanges; }
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG) override
    {
        ++viewChanges;
        lastViewAspect = aspect;
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
    void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}

    int dataChanges = 0;
    int viewChanges = 0;
    DWORD lastViewAspect = 0;
};

// A container's site for one windowless control, recording what the control
// asks of it.
class RecordingSite : public IOleClientSite, public IOleInPlaceSiteWindowless, public Counted {
public:
    // Wide enough for every caption: the text's opaque background would
    // cover the outline's sides.
    static constexpr RECT kPosition{10, 12, 290, 72};

    IOleClientSite* ClientSite() { return static_cast<IOleClientSite*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite) ||
                 IsEqualIID(iid, IID_IOleInPlaceSiteEx) || IsEqualIID(iid, IID_IOleInPlaceSiteWindowless))
            *out = static_cast<IOleInPlaceSiteWindowless*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker != nullptr)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        if (container != nullptr)
            *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow: the container's window is the desktop.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (window == nullptr)
            return E_POINTER;
        *window = GetDesktopWindow();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override
    {
        ++canInPlaceActivate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override
    {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                               RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) override
    {
        if (frame != nullptr)
            *frame = nullptr;
        if (document != nullptr)
            *document = nullptr;
        if (position != nullptr)
            *position = kPosition;
        if (clip != nullptr)
            *clip = kPosition;
        if (frameInfo != nullptr) {
            frameInfo->fMDIApp = FALSE;
            frameInfo->hwndFrame = nullptr;
            frameInfo->haccel = nullptr;
            frameInfo->cAccelEntries = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override
    {
        if (noRedraw != nullptr)
            *noRedraw = FALSE;
        ++activations;
        activationFlags = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override
    {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }

    // IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCapture() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetFocus() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC* dc) override
    {
        if (dc != nullptr)
            *dc = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT, BOOL) override
    {
        ++invalidations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override
    {
        ++invalidations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override
    {
        if (result != nullptr)
            *result = 0;
        return S_FALSE;
    }

    int canInPlaceActivate = 0;
    int activations = 0;
    DWORD activationFlags = 0;
    int deactivations = 0;
    int invalidations = 0;
};

// A white 32-bit bitmap selected into a memory device context.
class Canvas {
public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 80;
    static constexpr uint32_t kWhite = 0xFFFFFF;

    Canvas()
    {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;   // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        std::fill(pixels_, pixels_ + kWidth * kHeight, 0xFFFFFFFFu);
    }
    ~Canvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return dc_ != nullptr && pixels_ != nullptr; }
    HDC Dc() const { return dc_; }
    uint32_t Pixel(int x, int y) const
    {
        GdiFlush();
        return pixels_[y * kWidth + x] & 0xFFFFFF;
    }

    // Points of the one-pixel outline of `r` (right and bottom exclusive)
    // that are not black.
    std::string OutlineGaps(const RECT& r) const
    {
        std::string gaps;
        auto check = [&](int x, int y) {
            if (Pixel(x, y) != 0)
                AppendPoint(gaps, x, y);
        };
        for (int x = r.left; x < r.right; ++x) {
            check(x, r.top);
            check(x, r.bottom - 1);
        }
        for (int y = r.top; y < r.bottom; ++y) {
            check(r.left, y);
            check(r.right - 1, y);
        }
        return gaps;
    }

    // Points outside `r` that are no longer white.
    std::string InkOutside(const RECT& r) const
    {
        std::string ink;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                if (!inside && Pixel(x, y) != kWhite)
                    AppendPoint(ink, x, y);
            }
        return ink;
    }

    // The smallest box holding every pixel inside `area` that is not white;
    // right and bottom are the last inked column and row.
    RECT InkBox(const RECT& area) const
    {
        RECT box{area.right, area.bottom, area.left - 1, area.top - 1};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (Pixel(x, y) != kWhite) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x);
                    box.bottom = std::max<LONG>(box.bottom, y);
                }
        return box;
    }

private:
    static void AppendPoint(std::string& out, int x, int y)
    {
        char point[32];
        std::snprintf(point, sizeof point, "(%d,%d) ", x, y);
        out += point;
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

class ControlTest : public plentor::testsupport::ComModuleFixture {
protected:
    void TearDown() override
    {
        EXPECT_EQ(canUnloadNow_(), S_OK) << "an object is still alive after the test released everything";
    }

    // A new object, or none when it lacks one of the control interfaces (the
    // test then stops at its ASSERT instead of calling through a null one).
    static ComRef<IUnknown> NewControl(const ClassCase& c)
    {
        ComRef<IUnknown> control(Create<IUnknown>(*c.clsid, IID_IUnknown));
        for (const InterfaceCase& i : kControlInterfaces) {
            ComRef<IUnknown> answer;
            if (control && control->QueryInterface(*i.iid, answer.OutVoid()) != S_OK) {
                ADD_FAILURE() << c.name << " does not answer " << i.name;
                control.Reset();
            }
        }
        return control;
    }
};

TEST_F(ControlTest, EveryInterfaceReachesEveryOtherOnOneIdentity)
{
    std::vector<InterfaceCase> interfaces(std::begin(kControlInterfaces), std::end(kControlInterfaces));
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control(Create<IUnknown>(*c.clsid, IID_IUnknown));
        ASSERT_TRUE(control);
        ComRef<IUnknown> identity = Identity(control.Get());
        interfaces.push_back({c.name, c.iid});
        for (const InterfaceCase& from : interfaces) {
            SCOPED_TRACE(testing::Message() << "from " << from.name);
            ComRef<IUnknown> start;
            ASSERT_EQ(control->QueryInterface(*from.iid, start.OutVoid()), S_OK);
            ASSERT_TRUE(start);
            EXPECT_EQ(Identity(start.Get()).Get(), identity.Get());
            for (const InterfaceCase& to : interfaces) {
                SCOPED_TRACE(testing::Message() << "to " << to.name);
                ComRef<IUnknown> next;
                ASSERT_EQ(start->QueryInterface(*to.iid, next.OutVoid()), S_OK);
                ASSERT_TRUE(next);
                EXPECT_EQ(Identity(next.Get()).Get(), identity.Get());
            }
            for (const IID* unknown : {&IID_IPersistPropertyBag, &IID_IClassFactory}) {
                void* out = reinterpret_cast<void*>(1);
                EXPECT_EQ(start->QueryInterface(*unknown, &out), E_NOINTERFACE);
                EXPECT_EQ(out, nullptr);
            }
        }
        interfaces.pop_back();
    }
}

// The state a control saves: a version, then "_cx" and "_cy", little-endian.
const Bytes kSavedState = {0x00, 0x03, 0x00, 0x00, 0xD2, 0x04, 0x00, 0x00, 0x2E, 0x16, 0x00, 0x00};
constexpr Extent kSavedExtent{1234, 5678};

TEST_F(ControlTest, StreamHoldsTheExtentAndNothingElse)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IPersistStreamInit> persist = Query<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit);
        ASSERT_TRUE(persist);
        CLSID id = CLSID_NULL;
        EXPECT_EQ(persist->GetClassID(&id), S_OK);
        EXPECT_TRUE(IsEqualCLSID(id, *c.clsid));
        id = CLSID_NULL;
        EXPECT_EQ(Query<IPersist>(control.Get(), IID_IPersist)->GetClassID(&id), S_OK);
        EXPECT_TRUE(IsEqualCLSID(id, *c.clsid));

        EXPECT_EQ(persist->InitNew(), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_FALSE);
        EXPECT_EQ(ExtentOf(control.Get()), kNewExtent);
        ULARGE_INTEGER size{};
        EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
        EXPECT_EQ(size.QuadPart, kSavedState.size());

        EXPECT_EQ(Resize(control.Get(), kSavedExtent), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_OK);
        if (c.credentials == Credentials::Properties) {
            PutText(control.Get(), L"Login", L"someone");
            PutText(control.Get(), L"Password", L"secret");
        }

        ComRef<IStream> copy = MemoryStream({});
        EXPECT_EQ(persist->Save(copy.Get(), FALSE), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_OK) << "a save that keeps the dirty mark";
        ComRef<IStream> stream = MemoryStream({});
        EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_FALSE);
        EXPECT_EQ(ContentOf(copy.Get()), kSavedState);
        EXPECT_EQ(ContentOf(stream.Get()), kSavedState);

        ComRef<IUnknown> loaded = NewControl(c);
        ASSERT_TRUE(loaded);
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(Query<IPersistStreamInit>(loaded.Get(), IID_IPersistStreamInit)->Load(stream.Get()), S_OK);
        EXPECT_EQ(ExtentOf(loaded.Get()), kSavedExtent);
        if (c.credentials == Credentials::Properties) {
            EXPECT_EQ(GetText(loaded.Get(), L"Login"), L"");
            EXPECT_EQ(GetText(loaded.Get(), L"Password"), L"");
        }
    }
}

TEST_F(ControlTest, StorageKeepsTheStateInItsContentsStream)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IStorage> storage = TemporaryStorage();
        ASSERT_TRUE(storage);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IPersistStorage> persist = Query<IPersistStorage>(control.Get(), IID_IPersistStorage);
        ASSERT_TRUE(persist);
        CLSID id = CLSID_NULL;
        EXPECT_EQ(persist->GetClassID(&id), S_OK);
        EXPECT_TRUE(IsEqualCLSID(id, *c.clsid));
        EXPECT_EQ(persist->InitNew(storage.Get()), S_OK);
        EXPECT_EQ(Resize(control.Get(), kSavedExtent), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_OK);
        EXPECT_EQ(persist->Save(storage.Get(), TRUE), S_OK);
        EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_FALSE);

        ComRef<IStream> contents;
        ASSERT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, contents.Out()), S_OK);
        EXPECT_EQ(ContentOf(contents.Get()), kSavedState);
        contents.Reset();

        ComRef<IUnknown> loaded = NewControl(c);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(Query<IPersistStorage>(loaded.Get(), IID_IPersistStorage)->Load(storage.Get()), S_OK);
        EXPECT_EQ(ExtentOf(loaded.Get()), kSavedExtent);
    }
}

struct DamagedStateCase {
    const char* what;
    Bytes content;
    HRESULT expected;   // S_OK here: any failure will do
};

TEST_F(ControlTest, DamagedStateIsRefusedAndChangesNothing)
{
    const DamagedStateCase cases[] = {
        {"empty stream", {}, S_OK},
        {"version only", {0x00, 0x03, 0x00, 0x00}, S_OK},
        {"width cut short", {0x00, 0x03, 0x00, 0x00, 0xD2, 0x04}, S_OK},
        {"height cut short", {0x00, 0x03, 0x00, 0x00, 0xD2, 0x04, 0x00, 0x00, 0x2E, 0x16}, S_OK},
        {"newer version", {0x01, 0x03, 0x00, 0x00, 0xD2, 0x04, 0x00, 0x00, 0x2E, 0x16, 0x00, 0x00}, E_FAIL},
        {"much newer version", {0x00, 0x00, 0x01, 0x00, 0xD2, 0x04, 0x00, 0x00, 0x2E, 0x16, 0x00, 0x00}, E_FAIL},
    };
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        for (const DamagedStateCase& d : cases) {
            SCOPED_TRACE(d.what);
            ComRef<IUnknown> control = NewControl(c);
            ASSERT_TRUE(control);
            ComRef<IStream> stream = MemoryStream(d.content);
            const HRESULT hr = Query<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->Load(stream.Get());
            if (d.expected == S_OK)
                EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
            else
                EXPECT_EQ(hr, d.expected);
            EXPECT_EQ(ExtentOf(control.Get()), kNewExtent);
        }

        SCOPED_TRACE("storage without a Contents stream");
        ComRef<IStorage> storage = TemporaryStorage();
        ASSERT_TRUE(storage);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        const HRESULT hr = Query<IPersistStorage>(control.Get(), IID_IPersistStorage)->Load(storage.Get());
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_EQ(ExtentOf(control.Get()), kNewExtent);
    }
}

struct NullArgumentCase {
    const char* call;
    HRESULT (*invoke)(IUnknown* control);
};

TEST_F(ControlTest, NullArgumentsAreRefused)
{
    const NullArgumentCase cases[] = {
        {"IPersistStreamInit::Load",
         [](IUnknown* o) { return Query<IPersistStreamInit>(o, IID_IPersistStreamInit)->Load(nullptr); }},
        {"IPersistStreamInit::Save",
         [](IUnknown* o) { return Query<IPersistStreamInit>(o, IID_IPersistStreamInit)->Save(nullptr, TRUE); }},
        {"IPersistStreamInit::GetSizeMax",
         [](IUnknown* o) { return Query<IPersistStreamInit>(o, IID_IPersistStreamInit)->GetSizeMax(nullptr); }},
        {"IPersistStreamInit::GetClassID",
         [](IUnknown* o) { return Query<IPersistStreamInit>(o, IID_IPersistStreamInit)->GetClassID(nullptr); }},
        {"IPersistStorage::InitNew",
         [](IUnknown* o) { return Query<IPersistStorage>(o, IID_IPersistStorage)->InitNew(nullptr); }},
        {"IPersistStorage::Load",
         [](IUnknown* o) { return Query<IPersistStorage>(o, IID_IPersistStorage)->Load(nullptr); }},
        {"IPersistStorage::Save",
         [](IUnknown* o) { return Query<IPersistStorage>(o, IID_IPersistStorage)->Save(nullptr, TRUE); }},
        {"IOleObject::GetExtent",
         [](IUnknown* o) { return Query<IOleObject>(o, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, nullptr); }},
        {"IOleObject::SetExtent",
         [](IUnknown* o) { return Query<IOleObject>(o, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, nullptr); }},
        {"IOleObject::GetUserClassID",
         [](IUnknown* o) { return Query<IOleObject>(o, IID_IOleObject)->GetUserClassID(nullptr); }},
        {"ISpecifyPropertyPages::GetPages",
         [](IUnknown* o) { return Query<ISpecifyPropertyPages>(o, IID_ISpecifyPropertyPages)->GetPages(nullptr); }},
        {"IProvideClassInfo::GetClassInfo",
         [](IUnknown* o) { return Query<IProvideClassInfo>(o, IID_IProvideClassInfo)->GetClassInfo(nullptr); }},
        {"IProvideClassInfo2::GetGUID",
         [](IUnknown* o) {
             return Query<IProvideClassInfo2>(o, IID_IProvideClassInfo2)->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID,
                                                                                   nullptr);
         }},
    };
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        for (const NullArgumentCase& n : cases) {
            SCOPED_TRACE(n.call);
            EXPECT_EQ(n.invoke(control.Get()), E_POINTER);
        }
    }
}

TEST_F(ControlTest, SiteActivatesTheControlInPlaceWithoutAWindow)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        RecordingSite site;
        {
            ComRef<IUnknown> control = NewControl(c);
            ASSERT_TRUE(control);
            ComRef<IOleObject> object = Query<IOleObject>(control.Get(), IID_IOleObject);
            ASSERT_TRUE(object);
            EXPECT_EQ(object->SetClientSite(site.ClientSite()), S_OK);
            ComRef<IOleClientSite> current;
            EXPECT_EQ(object->GetClientSite(current.Out()), S_OK);
            EXPECT_EQ(current.Get(), site.ClientSite());
            current.Reset();

            RECT position = RecordingSite::kPosition;
            ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.ClientSite(), 0, nullptr, &position),
                      S_OK);
            EXPECT_GE(site.canInPlaceActivate, 1);
            EXPECT_EQ(site.activations, 1);
            EXPECT_EQ(site.activationFlags, static_cast<DWORD>(ACTIVATE_WINDOWLESS));

            HWND window = reinterpret_cast<HWND>(1);
            EXPECT_EQ(Query<IOleWindow>(control.Get(), IID_IOleWindow)->GetWindow(&window), E_FAIL);
            window = reinterpret_cast<HWND>(1);
            EXPECT_EQ(Query<IOleInPlaceObjectWindowless>(control.Get(), IID_IOleInPlaceObjectWindowless)
                          ->GetWindow(&window),
                      E_FAIL);

            // Resized while active, a windowless control has its site
            // repaint it.
            const int invalidations = site.invalidations;
            EXPECT_EQ(Resize(control.Get(), {3000, 1500}), S_OK);
            EXPECT_GT(site.invalidations, invalidations);

            EXPECT_EQ(Query<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
            EXPECT_EQ(site.deactivations, 1);

            EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
            EXPECT_EQ(object->GetClientSite(current.Out()), S_OK);
            EXPECT_EQ(current.Get(), nullptr);
            EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
        }
        EXPECT_EQ(site.references, 1) << "the control kept references to its site";
    }
}

TEST_F(ControlTest, ReportsItsStatusClassAndExtent)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IOleObject> object = Query<IOleObject>(control.Get(), IID_IOleObject);
        ASSERT_TRUE(object);
        DWORD status = 0;
        EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
        EXPECT_EQ(status, kMiscStatus);
        CLSID id = CLSID_NULL;
        EXPECT_EQ(object->GetUserClassID(&id), S_OK);
        EXPECT_TRUE(IsEqualCLSID(id, *c.clsid));

        SIZEL size{100, 100};
        EXPECT_EQ(object->SetExtent(DVASPECT_ICON, &size), DV_E_DVASPECT);
        EXPECT_EQ(ExtentOf(control.Get()), kNewExtent);
        EXPECT_EQ(Resize(control.Get(), {4321, 876}), S_OK);
        SIZEL viewSize{};
        EXPECT_EQ(Query<IViewObject2>(control.Get(), IID_IViewObject2)->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewSize),
                  S_OK);
        EXPECT_EQ(Extent(viewSize.cx, viewSize.cy), Extent(4321, 876));
        EXPECT_EQ(ExtentOf(control.Get()), Extent(4321, 876));

        CAUUID pages{};
        pages.cElems = 99;
        EXPECT_EQ(Query<ISpecifyPropertyPages>(control.Get(), IID_ISpecifyPropertyPages)->GetPages(&pages), S_OK);
        EXPECT_EQ(pages.cElems, 0u);
        CoTaskMemFree(pages.pElems);
    }
}

TEST_F(ControlTest, AdviseConnectionsNotifyTheContainer)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        {
            ComRef<IUnknown> control = NewControl(c);
            ASSERT_TRUE(control);
            ComRef<IOleObject> object = Query<IOleObject>(control.Get(), IID_IOleObject);
            ASSERT_TRUE(object);
            DWORD cookie = 0;
            EXPECT_EQ(object->Advise(&sink, &cookie), S_OK);
            EXPECT_NE(cookie, 0u);
            EXPECT_EQ(object->Unadvise(cookie), S_OK);
            EXPECT_EQ(object->Unadvise(cookie), OLE_E_NOCONNECTION);

            ComRef<IViewObject> view = Query<IViewObject>(control.Get(), IID_IViewObject);
            ASSERT_TRUE(view);
            EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
            DWORD aspects = 0, flags = 99;
            ComRef<IAdviseSink> current;
            EXPECT_EQ(view->GetAdvise(&aspects, &flags, current.Out()), S_OK);
            EXPECT_EQ(current.Get(), static_cast<IAdviseSink*>(&sink));
            EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
            EXPECT_EQ(flags, 0u);
            current.Reset();

            // The control recomposes when its size changes, and only then.
            EXPECT_EQ(Resize(control.Get(), {6000, 2000}), S_OK);
            EXPECT_EQ(sink.viewChanges, 1);
            EXPECT_EQ(sink.lastViewAspect, static_cast<DWORD>(DVASPECT_CONTENT));
            EXPECT_EQ(Resize(control.Get(), {6000, 2000}), S_OK);
            EXPECT_EQ(sink.viewChanges, 1) << "the same size again";

            EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
            EXPECT_EQ(view->GetAdvise(&aspects, &flags, current.Out()), S_OK);
            EXPECT_EQ(current.Get(), nullptr);
        }
        EXPECT_EQ(sink.references, 1) << "the control kept references to the sink";
    }
}

TEST_F(ControlTest, QuickActivationTakesTheContainersSiteAndSink)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        RecordingSite site;
        RecordingSink sink;
        {
            ComRef<IUnknown> control = NewControl(c);
            ASSERT_TRUE(control);
            ComRef<IQuickActivate> quick = Query<IQuickActivate>(control.Get(), IID_IQuickActivate);
            ASSERT_TRUE(quick);
            QACONTAINER container{};
            container.cbSize = sizeof container;
            container.pClientSite = site.ClientSite();
            container.pAdviseSink = &sink;
            QACONTROL answer{};
            answer.cbSize = sizeof answer;
            EXPECT_EQ(quick->QuickActivate(&container, &answer), S_OK);
            EXPECT_EQ(answer.dwMiscStatus, kMiscStatus);

            ComRef<IOleObject> object = Query<IOleObject>(control.Get(), IID_IOleObject);
            ComRef<IOleClientSite> current;
            EXPECT_EQ(object->GetClientSite(current.Out()), S_OK);
            EXPECT_EQ(current.Get(), site.ClientSite());
            current.Reset();
            ComRef<IAdviseSink> viewSink;
            EXPECT_EQ(Query<IViewObject>(control.Get(), IID_IViewObject)->GetAdvise(nullptr, nullptr, viewSink.Out()),
                      S_OK);
            EXPECT_EQ(viewSink.Get(), static_cast<IAdviseSink*>(&sink));
            viewSink.Reset();

            SIZEL content{2540, 1270};
            EXPECT_EQ(quick->SetContentExtent(&content), S_OK);
            SIZEL read{};
            EXPECT_EQ(quick->GetContentExtent(&read), S_OK);
            EXPECT_EQ(Extent(read.cx, read.cy), Extent(2540, 1270));
            EXPECT_EQ(ExtentOf(control.Get()), Extent(2540, 1270));

            EXPECT_EQ(Query<IViewObject>(control.Get(), IID_IViewObject)->SetAdvise(DVASPECT_CONTENT, 0, nullptr),
                      S_OK);
            EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
            EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
        }
        EXPECT_EQ(site.references, 1) << "the control kept references to its site";
        EXPECT_EQ(sink.references, 1) << "the control kept references to the sink";
    }
}

TEST_F(ControlTest, ClassInformationNamesTheClassAndNoEventSource)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IProvideClassInfo2> info = Query<IProvideClassInfo2>(control.Get(), IID_IProvideClassInfo2);
        ASSERT_TRUE(info);
        ComRef<ITypeInfo> type;
        ASSERT_EQ(Query<IProvideClassInfo>(control.Get(), IID_IProvideClassInfo)->GetClassInfo(type.Out()), S_OK);
        ASSERT_TRUE(type);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(type->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(IsEqualGUID(attributes->guid, *c.clsid));
        EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
        type->ReleaseTypeAttr(attributes);

        GUID guid = *c.clsid;
        EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
        EXPECT_TRUE(IsEqualGUID(guid, IID_NULL));
        EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid), E_INVALIDARG);
    }
}

TEST_F(ControlTest, DrawsAnOutlineAndItsCaptionCentredOnTheBounds)
{
    // Glyphs may start or end a few pixels inside their advance width.
    constexpr int kSideBearing = 3;
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IViewObject> view = Query<IViewObject>(control.Get(), IID_IViewObject);
        ASSERT_TRUE(view);
        Canvas canvas;
        ASSERT_TRUE(canvas.Ready());
        const RECTL bounds{20, 10, 280, 70};
        ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), &bounds, nullptr, nullptr, 0),
                  S_OK);
        const RECT area{bounds.left, bounds.top, bounds.right, bounds.bottom};
        EXPECT_EQ(canvas.OutlineGaps(area), "");
        EXPECT_EQ(canvas.InkOutside(area), "");

        const std::wstring caption = c.caption;
        SIZE text{};
        ASSERT_TRUE(GetTextExtentPoint32W(canvas.Dc(), caption.c_str(), static_cast<int>(caption.size()), &text));
        TEXTMETRICW metrics{};
        ASSERT_TRUE(GetTextMetricsW(canvas.Dc(), &metrics));
        const RECT ink = canvas.InkBox({area.left + 1, area.top + 1, area.right - 1, area.bottom - 1});
        ASSERT_LE(ink.left, ink.right) << "nothing drawn inside the outline";
        SCOPED_TRACE(testing::Message() << "caption \"" << Narrow(c.caption) << "\" " << text.cx << "x" << text.cy
                                        << ", ink " << ink.left << "," << ink.top << " to " << ink.right << ","
                                        << ink.bottom);
        const LONG centre = (bounds.left + bounds.right) / 2;
        const LONG baseline = (bounds.top + bounds.bottom) / 2;
        EXPECT_NEAR(ink.left, centre - text.cx / 2, kSideBearing);
        EXPECT_NEAR(ink.right, centre - text.cx / 2 + text.cx - 1, kSideBearing);
        EXPECT_GE(ink.top, baseline - metrics.tmAscent);
        EXPECT_LT(ink.top, baseline - metrics.tmAscent / 2) << "capitals rise well above the baseline";
        EXPECT_GE(ink.bottom, baseline - 2) << "letters stand on the baseline";
        EXPECT_LE(ink.bottom, baseline + metrics.tmDescent);
    }
}

struct DrawErrorCase {
    const char* what;
    DWORD aspect;
    bool withBounds;
    HRESULT expected;
};

TEST_F(ControlTest, DrawRefusesOtherAspectsAndMissingBounds)
{
    const DrawErrorCase cases[] = {
        {"no bounds while not active", DVASPECT_CONTENT, false, E_INVALIDARG},
        {"icon aspect", DVASPECT_ICON, true, DV_E_DVASPECT},
        {"thumbnail aspect", DVASPECT_THUMBNAIL, true, DV_E_DVASPECT},
    };
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        ComRef<IViewObject> view = Query<IViewObject>(control.Get(), IID_IViewObject);
        ASSERT_TRUE(view);
        for (const DrawErrorCase& d : cases) {
            SCOPED_TRACE(d.what);
            Canvas canvas;
            ASSERT_TRUE(canvas.Ready());
            const RECTL bounds{20, 10, 280, 70};
            EXPECT_EQ(view->Draw(d.aspect, -1, nullptr, nullptr, nullptr, canvas.Dc(), d.withBounds ? &bounds : nullptr,
                                 nullptr, nullptr, 0),
                      d.expected);
            EXPECT_EQ(canvas.InkOutside({0, 0, 0, 0}), "") << "a refused draw leaves the bitmap alone";
        }
    }
}

TEST_F(ControlTest, ActiveControlDrawsAtItsPositionWithoutBounds)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        RecordingSite site;
        {
            ComRef<IUnknown> control = NewControl(c);
            ASSERT_TRUE(control);
            ComRef<IOleObject> object = Query<IOleObject>(control.Get(), IID_IOleObject);
            ASSERT_TRUE(object);
            EXPECT_EQ(object->SetClientSite(site.ClientSite()), S_OK);
            RECT position = RecordingSite::kPosition;
            ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.ClientSite(), 0, nullptr, &position),
                      S_OK);
            Canvas canvas;
            ASSERT_TRUE(canvas.Ready());
            EXPECT_EQ(Query<IViewObject>(control.Get(), IID_IViewObject)
                          ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), nullptr, nullptr, nullptr,
                                 0),
                      S_OK);
            EXPECT_EQ(canvas.OutlineGaps(RecordingSite::kPosition), "");
            EXPECT_EQ(canvas.InkOutside(RecordingSite::kPosition), "");
            EXPECT_EQ(Query<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
            EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
            EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
        }
        EXPECT_EQ(site.references, 1);
    }
}

struct DataFormatCase {
    const char* what;
    CLIPFORMAT format;
    DWORD medium;
};

TEST_F(ControlTest, DataIsAMetafilePictureOfTheExtent)
{
    const DataFormatCase refused[] = {
        {"text", CF_TEXT, TYMED_HGLOBAL},
        {"bitmap", CF_BITMAP, TYMED_GDI},
        {"enhanced metafile", CF_ENHMETAFILE, TYMED_ENHMF},
    };
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComRef<IUnknown> control = NewControl(c);
        ASSERT_TRUE(control);
        EXPECT_EQ(Resize(control.Get(), {3000, 1500}), S_OK);
        ComRef<IDataObject> data = Query<IDataObject>(control.Get(), IID_IDataObject);
        ASSERT_TRUE(data);

        FORMATETC picture{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
        STGMEDIUM medium{};
        ASSERT_EQ(data->GetData(&picture, &medium), S_OK);
        EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_MFPICT));
        ASSERT_NE(medium.hMetaFilePict, nullptr);
        auto* header = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->mm, MM_ANISOTROPIC);
        EXPECT_EQ(Extent(header->xExt, header->yExt), Extent(3000, 1500));
        EXPECT_NE(header->hMF, nullptr);
        GlobalUnlock(medium.hMetaFilePict);
        ReleaseStgMedium(&medium);

        for (const DataFormatCase& r : refused) {
            SCOPED_TRACE(r.what);
            FORMATETC other{r.format, nullptr, DVASPECT_CONTENT, -1, r.medium};
            STGMEDIUM none{};
            EXPECT_EQ(data->GetData(&other, &none), DV_E_FORMATETC);
            EXPECT_EQ(none.tymed, static_cast<DWORD>(TYMED_NULL));
        }
    }
}

} // namespace
