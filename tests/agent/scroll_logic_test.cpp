// Windows-free decisions of the scroll engine: direction, method by class, the "Static" rule
// and what a child offers.
#include <gtest/gtest.h>

#include "scroll_engine.h"

namespace {
TEST(ScrollLogic, OnlyOneAnd255OrMinusOneAreDirections) {
    EXPECT_EQ(DirectionOfTilt(1), ScrollDirection::Right);
    EXPECT_EQ(DirectionOfTilt(255), ScrollDirection::Left);
    EXPECT_EQ(DirectionOfTilt(-1), ScrollDirection::Left);
    for (int32_t tilt : {0, 2, 254, 256, 511, -255, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        EXPECT_EQ(DirectionOfTilt(tilt), ScrollDirection::None) << tilt;
    }
    EXPECT_EQ(HScrollRequestOf(ScrollDirection::Right), 1u);
    EXPECT_EQ(HScrollRequestOf(ScrollDirection::Left), 0u);
    EXPECT_EQ(ArrowKeyOf(ScrollDirection::Right), 0x27u);
    EXPECT_EQ(ArrowKeyOf(ScrollDirection::Left), 0x25u);
    EXPECT_EQ(DocumentScrollPixelsOf(ScrollDirection::Right), 9);
    EXPECT_EQ(DocumentScrollPixelsOf(ScrollDirection::Left), -9);
}

TEST(ScrollLogic, MethodFollowsTheExactClassName) {
    EXPECT_EQ(ScrollMethodOfClass(L"Internet Explorer_Server"), ScrollMethod::DocumentObject);
    EXPECT_EQ(ScrollMethodOfClass(L"MozillaWindowClass"), ScrollMethod::KeysAsMessages);
    EXPECT_EQ(ScrollMethodOfClass(L"NS_AE_WindowClass"), ScrollMethod::KeysAsMessages);
    EXPECT_EQ(ScrollMethodOfClass(L"WebViewWindowClass"), ScrollMethod::KeysAsMessages);
    EXPECT_EQ(ScrollMethodOfClass(L"OperaWindowClass"), ScrollMethod::KeysAsInput);
    for (const wchar_t* other : {L"internet explorer_server", L"MozillaWindowClass2", L"Mozilla",
                                 L"operawindowclass", L"ScrollBar", L""}) {
        EXPECT_EQ(ScrollMethodOfClass(other), ScrollMethod::Generic);
    }
    EXPECT_EQ(ScrollMethodOfClass(nullptr), ScrollMethod::Generic);
}

TEST(ScrollLogic, StaticIsSkippedUntilAnotherWindowWasSearched) {
    staticSeen = false;
    EXPECT_FALSE(SearchStartsAtWindow(L"Static"));
    EXPECT_FALSE(SearchStartsAtWindow(L"Static"));
    EXPECT_FALSE(staticSeen);
    EXPECT_TRUE(SearchStartsAtWindow(L"static")); // another class: case counts
    EXPECT_TRUE(staticSeen);
    EXPECT_TRUE(SearchStartsAtWindow(L"Static"));
    EXPECT_TRUE(staticSeen);
}

TEST(ScrollLogic, ChildrenOfferBarsByClassAndStyle) {
    constexpr uint32_t shown = kStyleVisible;
    EXPECT_EQ(ClassifyChild(L"Static", shown | kStyleHScroll), ChildKind::Skip);
    EXPECT_EQ(ClassifyChild(L"ListBox", kStyleHScroll), ChildKind::Skip);
    EXPECT_EQ(ClassifyChild(L"ListBox", shown | kStyleDisabled | kStyleHScroll), ChildKind::Skip);
    EXPECT_EQ(ClassifyChild(L"ScrollBar", shown | kStyleDisabled), ChildKind::Skip);
    EXPECT_EQ(ClassifyChild(L"ScrollBar", shown), ChildKind::HorizontalBarControl);
    EXPECT_EQ(ClassifyChild(L"NUIScrollbar", shown), ChildKind::HorizontalBarControl);
    EXPECT_EQ(ClassifyChild(L"ScrollBar", shown | kBarStyleVert), ChildKind::NoBar);
    EXPECT_EQ(ClassifyChild(L"ScrollBar", shown | kBarStyleSizeBox | kStyleHScroll),
              ChildKind::OwnBarCandidate);
    EXPECT_EQ(ClassifyChild(L"scrollbar", shown), ChildKind::NoBar);
    EXPECT_EQ(ClassifyChild(L"ListBox", shown | kStyleHScroll), ChildKind::OwnBarCandidate);
    EXPECT_EQ(ClassifyChild(L"ListBox", shown), ChildKind::NoBar);
    EXPECT_EQ(ClassifyChild(nullptr, shown), ChildKind::NoBar);

    EXPECT_TRUE(IsScrollBarClass(L"ScrollBar"));
    EXPECT_TRUE(IsScrollBarClass(L"NUIScrollbar"));
    EXPECT_FALSE(IsScrollBarClass(L"NUIScrollBar"));

    EXPECT_TRUE(BarReachesPointer(100, 100));
    EXPECT_TRUE(BarReachesPointer(-5, 0));
    EXPECT_FALSE(BarReachesPointer(101, 100));
}
} // namespace
