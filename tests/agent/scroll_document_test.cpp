// The embedded-browser path of the scroll engine: a window of class
// "Internet Explorer_Server" answers "WM_HTML_GETOBJECT" with a small document object of ours,
// handed over through LresultFromObject as a real browser would.
#define CINTERFACE
#define COBJMACROS
#include <windows.h>

#include <mshtml.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "actions_test_desktop.h"
#include "agent_settings.h"
#include "scroll_engine.h"

namespace {
HRESULT STDMETHODCALLTYPE NotImplemented(void*) {
    return E_NOTIMPL;
}

// Points every slot of a C vtable at NotImplemented; the tests then fill in what they use.
template <typename Vtbl> void FillNotImplemented(Vtbl& table) {
    auto** slots = reinterpret_cast<void**>(&table);
    for (size_t i = 0; i < sizeof(Vtbl) / sizeof(void*); ++i) {
        slots[i] = reinterpret_cast<void*>(&NotImplemented);
    }
}

struct FakeWindow {
    IHTMLWindow2 iface;
    LONG refs;
    std::vector<std::pair<LONG, LONG>> scrolls;
};

struct FakeDocument {
    IHTMLDocument2 iface;
    LONG refs;
    FakeWindow* window;
    bool scriptFails;
};

FakeWindow* WindowOf(IHTMLWindow2* self) {
    return reinterpret_cast<FakeWindow*>(self);
}
FakeDocument* DocumentOf(IHTMLDocument2* self) {
    return reinterpret_cast<FakeDocument*>(self);
}

HRESULT STDMETHODCALLTYPE WindowQueryInterface(IHTMLWindow2* self, REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLFramesCollection2) || IsEqualIID(iid, IID_IHTMLWindow2)) {
        *out = self;
        ++WindowOf(self)->refs;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE WindowAddRef(IHTMLWindow2* self) {
    return static_cast<ULONG>(++WindowOf(self)->refs);
}
ULONG STDMETHODCALLTYPE WindowRelease(IHTMLWindow2* self) {
    return static_cast<ULONG>(--WindowOf(self)->refs);
}
HRESULT STDMETHODCALLTYPE WindowGetFrames(IHTMLWindow2* self, IHTMLFramesCollection2** frames) {
    ++WindowOf(self)->refs;
    *frames = reinterpret_cast<IHTMLFramesCollection2*>(self);
    return S_OK;
}
HRESULT STDMETHODCALLTYPE WindowScrollBy(IHTMLWindow2* self, LONG x, LONG y) {
    WindowOf(self)->scrolls.emplace_back(x, y);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DocumentQueryInterface(IHTMLDocument2* self, REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLDocument) || IsEqualIID(iid, IID_IHTMLDocument2)) {
        *out = self;
        ++DocumentOf(self)->refs;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE DocumentAddRef(IHTMLDocument2* self) {
    return static_cast<ULONG>(++DocumentOf(self)->refs);
}
ULONG STDMETHODCALLTYPE DocumentRelease(IHTMLDocument2* self) {
    return static_cast<ULONG>(--DocumentOf(self)->refs);
}
HRESULT STDMETHODCALLTYPE DocumentGetScript(IHTMLDocument2* self, IDispatch** script) {
    FakeDocument* document = DocumentOf(self);
    if (document->scriptFails) {
        *script = nullptr;
        return E_ACCESSDENIED;
    }
    ++document->window->refs;
    *script = reinterpret_cast<IDispatch*>(&document->window->iface);
    return S_OK;
}

IHTMLWindow2Vtbl windowTable;
IHTMLDocument2Vtbl documentTable;

void BuildTables() {
    FillNotImplemented(windowTable);
    windowTable.QueryInterface = WindowQueryInterface;
    windowTable.AddRef = WindowAddRef;
    windowTable.Release = WindowRelease;
    windowTable.get_frames = WindowGetFrames;
    windowTable.scrollBy = WindowScrollBy;
    FillNotImplemented(documentTable);
    documentTable.QueryInterface = DocumentQueryInterface;
    documentTable.AddRef = DocumentAddRef;
    documentTable.Release = DocumentRelease;
    documentTable.get_Script = DocumentGetScript;
}

FakeDocument* answeringDocument = nullptr;

LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT request = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    if (message == request && answeringDocument != nullptr) {
        return LresultFromObject(IID_IHTMLDocument2, wParam,
                                 reinterpret_cast<IUnknown*>(&answeringDocument->iface));
    }
    if (message == WM_HSCROLL) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateBrowserWindow(int* hscrollCount) {
    WNDCLASSW wc = {};
    if (!GetClassInfoW(GetModuleHandleW(nullptr), L"Internet Explorer_Server", &wc)) {
        wc.lpfnWndProc = BrowserProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Internet Explorer_Server";
        RegisterClassW(&wc);
    }
    HWND window =
        CreateWindowExW(WS_EX_TOPMOST, L"Internet Explorer_Server", L"", WS_POPUP, 200, 200, 400,
                        300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hscrollCount));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return window;
}

class DocumentScroll : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        BuildTables();
        window_ = {{&windowTable}, 1, {}};
        document_ = {{&documentTable}, 1, &window_, false};
        answeringDocument = &document_;
        agentSettings = AgentSettings{};
        tiltState = 1;
        browser_ = CreateBrowserWindow(&hscrolls_);
        ASSERT_NE(browser_, nullptr);
        ASSERT_TRUE(PlacePointer(browser_, 100, 100));
    }
    void TearDown() override {
        answeringDocument = nullptr;
        DestroyWindow(browser_);
        CoUninitialize();
    }
    void Step() {
        ScrollStep();
        PumpMessagesFor(30, 1);
    }

    FakeWindow window_{};
    FakeDocument document_{};
    HWND browser_ = nullptr;
    int hscrolls_ = 0;
};

TEST_F(DocumentScroll, AnsweringDocumentScrollsItsWindowNinePixelsPerRepeat) {
    Step();
    ASSERT_EQ(window_.scrolls.size(), 3u);
    for (const auto& scroll : window_.scrolls) {
        EXPECT_EQ(scroll, std::make_pair(LONG{9}, LONG{0}));
    }
    EXPECT_EQ(hscrolls_, 0);

    window_.scrolls.clear();
    tiltState = 255;
    agentSettings.scrolling = 0x503;
    Step();
    EXPECT_EQ(window_.scrolls, (std::vector<std::pair<LONG, LONG>>(5, {-9, 0})));
    EXPECT_EQ(hscrolls_, 0);
    // Everything handed out was given back.
    EXPECT_EQ(document_.refs, 1);
    EXPECT_EQ(window_.refs, 1);
}

TEST_F(DocumentScroll, FailingDocumentOrNoRepeatFallsBackToWindowMessages) {
    document_.scriptFails = true;
    Step();
    EXPECT_TRUE(window_.scrolls.empty());
    EXPECT_EQ(hscrolls_, 3);

    hscrolls_ = 0;
    document_.scriptFails = false;
    agentSettings.scrolling = 0x003;
    Step();
    EXPECT_TRUE(window_.scrolls.empty());
    EXPECT_EQ(hscrolls_, 0);
    EXPECT_NE(ScrollDocumentObject(browser_, 0, ScrollDirection::Right), S_OK);
}

TEST_F(DocumentScroll, SilentWindowFallsBackAfterOneSecond) {
    // The browser window of another thread that is busy for 1.5 s.
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND silent = nullptr;
    int silentScrolls = 0;
    std::thread busy([&] {
        answeringDocument = nullptr;
        silent = CreateBrowserWindow(&silentScrolls);
        SetEvent(ready);
        Sleep(1500);
        PumpMessagesFor(300, 1);
        DestroyWindow(silent);
    });
    WaitForSingleObject(ready, 5000);
    ASSERT_TRUE(PlacePointer(silent, 50, 50));
    const ULONGLONG start = GetTickCount64();
    ScrollStep();
    const ULONGLONG elapsed = GetTickCount64() - start;
    busy.join();
    CloseHandle(ready);
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 1400u);
    EXPECT_EQ(silentScrolls, 3);
    EXPECT_TRUE(window_.scrolls.empty());
}
} // namespace
