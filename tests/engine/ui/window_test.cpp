// The window tree without a window manager: identity, the child list, hit testing, geometry and
// the spiders.

#include "engine/ui/window.h"
#include "tests/fixtures/childprocess.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace window_tree_test {
namespace {

// A window that counts its destructions and records the order of its OnModalPopped calls.
class TProbeWindow : public TWindow {
public:
    explicit TProbeWindow(const char* name, std::vector<std::string>* log = nullptr,
                          int* deletions = nullptr)
        : mLog(log), mDeletions(deletions) {
        SetName(name);
    }
    ~TProbeWindow() override {
        if (mDeletions != nullptr) {
            ++*mDeletions;
        }
    }
    void OnModalPopped() override {
        if (mLog != nullptr) {
            mLog->push_back(GetName().CStr());
        }
    }
    bool OnAttach() override { return mAcceptAttach; }

    bool mAcceptAttach = true;

private:
    std::vector<std::string>* mLog;
    int* mDeletions;
};

TWindow* Child(TWindow& parent, const char* name, TRect rect) {
    auto* child = new TProbeWindow(name);
    parent.AddChild(child, false);
    child->MoveTo(rect.left, rect.top);
    child->SetSize(rect.right - rect.left, rect.bottom - rect.top);
    return child;
}

// Front to back.
std::string Order(const TWindow& parent) {
    std::string order;
    for (const TWindow* child : parent.GetChildren()) {
        order += child->GetName().CStr();
    }
    return order;
}

TEST(TWindowIdentity, ClassNamesAndKinds) {
    TWindow window;
    TModalWindow modal;
    TScreen screen;
    EXPECT_STREQ(window.GetClassName(), "TWindow");
    EXPECT_STREQ(modal.GetClassName(), "TModalWindow");
    EXPECT_STREQ(screen.GetClassName(), "TScreen");

    const TWindowClassId ids[] = {TWindow::ClassId(), TModalWindow::ClassId(), TScreen::ClassId()};
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_NE(ids[0], ids[2]);
    const TWindow* windows[] = {&window, &modal, &screen};
    // Row: the window; column: the class asked about. A class is of its own kind and its bases'.
    const bool expected[3][3] = {{true, false, false}, {true, true, false}, {true, true, true}};
    for (int w = 0; w < 3; ++w) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(windows[w]->IsKindOf(ids[c]), expected[w][c]) << w << " " << c;
        }
    }
}

TEST(TWindowIdentity, CreateFromClassId) {
    TWindow* window = CreateWindowFromClassId(TWindow::ClassId());
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(window->GetClassName(), "TWindow");
    EXPECT_EQ(window->GetFlags(), 0x100u);
    delete window;
    // Modal windows and screens are not created by type name.
    EXPECT_EQ(CreateWindowFromClassId(TModalWindow::ClassId()), nullptr);
    EXPECT_EQ(CreateWindowFromClassId(TScreen::ClassId()), nullptr);
    EXPECT_EQ(CreateWindowFromClassId(nullptr), nullptr);
}

} // namespace

// A fresh process, whose window ids start at 0.
CHILD_ENTRY(WindowIdTextChild) {
    std::vector<TWindow*> windows;
    for (int i = 0; i <= 255; ++i) {
        windows.push_back(new TWindow);
    }
    const bool ok = windows[255]->GetId() == 255 && windows[255]->GetIdText() == str("      ff") &&
                    windows[0]->GetIdText() == str("       0");
    for (TWindow* window : windows) {
        delete window;
    }
    return ok ? 0 : 1;
}

namespace {

TEST(TWindowIdentity, IdTextOfWindow255IsSixBlanksAndFf) {
    const pid_t child = testing_fixtures::SpawnChild("WindowIdTextChild", {});
    ASSERT_GT(child, 0);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

TEST(TWindowChildren, AddChildInsertsAtTheFrontOnce) {
    TWindow parent;
    TWindow* a = Child(parent, "a", {0, 0, 1, 1});
    Child(parent, "b", {0, 0, 1, 1});
    EXPECT_EQ(Order(parent), "ba");
    EXPECT_TRUE(parent.AddChild(a, true));
    EXPECT_EQ(Order(parent), "ba") << "a child already in the list does not move";
    EXPECT_EQ(a->GetParent(), &parent);
}

TEST(TWindowChildren, AttachRefusedUnlinksTheChild) {
    TWindow parent;
    auto* child = new TProbeWindow("c");
    child->mAcceptAttach = false;
    EXPECT_FALSE(parent.AddChild(child, true));
    EXPECT_TRUE(parent.GetChildren().empty());
    EXPECT_EQ(child->GetParent(), nullptr);
    // Without attach OnAttach is not asked.
    EXPECT_TRUE(parent.AddChild(child, false));
    EXPECT_EQ(child->GetParent(), &parent);
}

TEST(TWindowChildren, AChildMovedToAnotherParentIsDeletedOnce) {
    int deletions = 0;
    auto* first = new TWindow;
    auto* second = new TWindow;
    auto* child = new TProbeWindow("c", nullptr, &deletions);
    first->AddChild(child, false);
    EXPECT_TRUE(second->AddChild(child, false));
    EXPECT_TRUE(first->GetChildren().empty());
    EXPECT_EQ(child->GetParent(), second);
    delete first;
    EXPECT_EQ(deletions, 0);
    delete second;
    EXPECT_EQ(deletions, 1);
}

TEST(TWindowChildren, RemoveChildOfAStrangerChangesNothing) {
    TWindow parent;
    TWindow other;
    TWindow* child = Child(parent, "c", {0, 0, 1, 1});
    other.RemoveChild(child);
    EXPECT_EQ(child->GetParent(), &parent);
    EXPECT_EQ(Order(parent), "c");
    parent.RemoveChild(child);
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_TRUE(parent.GetChildren().empty());
    delete child;
}

TEST(TWindowChildren, NoWindowBecomesItsOwnDescendant) {
    TWindow root;
    TWindow* child = Child(root, "c", {0, 0, 1, 1});
    TWindow* grandchild = Child(*child, "g", {0, 0, 1, 1});
    EXPECT_FALSE(grandchild->AddChild(&root, false));
    EXPECT_FALSE(child->AddChild(child, false));
    EXPECT_EQ(root.GetParent(), nullptr);
    EXPECT_EQ(grandchild->GetParent(), child);
}

TEST(TWindowChildren, Reorder) {
    struct TCase {
        const char* subject;
        int mode;
        const char* sibling; // null: none; "x": a window of another parent
        const char* expected;
    };
    // The list starts as "abcd", a the topmost.
    const TCase cases[] = {
        {"b", 0, nullptr, "acdb"}, {"c", 1, nullptr, "cabd"}, {"c", 2, nullptr, "acbd"},
        {"a", 2, nullptr, "abcd"}, {"b", 3, nullptr, "acbd"}, {"d", 3, nullptr, "abcd"},
        {"d", 4, "b", "adbc"},     {"a", 4, "c", "bacd"},     {"a", 4, nullptr, "bcda"},
        {"b", 7, "x", "acdb"},     {"b", 4, "b", "abcd"},     {"a", 0, "c", "bcda"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.subject) + " mode " + std::to_string(c.mode));
        TWindow parent;
        TWindow stranger;
        Child(stranger, "x", {0, 0, 1, 1});
        for (const char* name : {"d", "c", "b", "a"}) {
            Child(parent, name, {0, 0, 1, 1});
        }
        TWindow* sibling = nullptr;
        if (c.sibling != nullptr) {
            sibling = parent.FindChild(c.sibling, 1);
            if (sibling == nullptr) {
                sibling = stranger.FindChild(c.sibling, 1);
            }
        }
        parent.FindChild(c.subject, 1)->Reorder(c.mode, sibling);
        EXPECT_EQ(Order(parent), c.expected);
    }
    TWindow orphan;
    orphan.SetZOrder(1);
    EXPECT_EQ(orphan.GetParent(), nullptr);
}

TEST(TWindowChildren, FindChildByDepth) {
    TWindow root;
    root.SetName("root");
    TWindow* c = Child(root, "x", {0, 0, 1, 1});
    TWindow* b = Child(root, "b", {0, 0, 1, 1});
    TWindow* d = Child(*b, "x", {0, 0, 1, 1});
    TWindow* e = Child(*d, "e", {0, 0, 1, 1});
    EXPECT_EQ(root.FindChild("root", 0), &root);
    EXPECT_EQ(root.FindChild("x", 0), nullptr) << "depth 0 tests the window only";
    EXPECT_EQ(root.FindChild("x", 1), c) << "b's child lies two levels down";
    EXPECT_EQ(root.FindChild("x", -1), d) << "depth first, front to back";
    EXPECT_EQ(root.FindChild("e", 2), nullptr);
    EXPECT_EQ(root.FindChild("e", -1), e);
    EXPECT_EQ(root.FindChild("none", -1), nullptr);
}

// Removes each child it visits; stops after `limit` visits.
class TRemovingSpider : public TWindowSpider {
public:
    TRemovingSpider(TWindow& parent, int limit) : mParent(parent), mLimit(limit) {}
    bool Visit(TWindow* child) override {
        mVisited += child->GetName().CStr();
        mParent.RemoveChild(child);
        mRemoved.push_back(child);
        return static_cast<int>(mVisited.size()) < mLimit;
    }
    ~TRemovingSpider() override {
        for (TWindow* window : mRemoved) {
            delete window;
        }
    }

    std::string mVisited;

private:
    TWindow& mParent;
    int mLimit;
    std::vector<TWindow*> mRemoved;
};

TEST(TWindowChildren, VisitChildrenLetsTheVisitRemoveTheChild) {
    for (const bool reverse : {false, true}) {
        for (const int limit : {2, 10}) {
            TWindow parent;
            for (const char* name : {"c", "b", "a"}) {
                Child(parent, name, {0, 0, 1, 1});
            }
            TRemovingSpider spider(parent, limit);
            parent.VisitChildren(spider, reverse);
            const std::string all = reverse ? "cba" : "abc";
            EXPECT_EQ(spider.mVisited, all.substr(0, static_cast<size_t>(std::min(limit, 3))));
            EXPECT_EQ(Order(parent), limit == 2 ? all.substr(2) : "");
        }
    }
}

TEST(TWindowChildren, DeleteChildrenWithoutAManagerDeletesAtOnce) {
    int deletions = 0;
    TWindow parent;
    parent.AddChild(new TProbeWindow("a", nullptr, &deletions), false);
    parent.AddChild(new TProbeWindow("b", nullptr, &deletions), false);
    parent.DeleteChildren();
    EXPECT_TRUE(parent.GetChildren().empty());
    EXPECT_EQ(deletions, 2);
}

TEST(TWindowHitTest, FrontSiblingFirstAndDisabledSubtreesNever) {
    TWindow root;
    root.SetSize(200, 200);
    TWindow* back = Child(root, "back", {0, 0, 100, 100});
    TWindow* front = Child(root, "front", {50, 50, 150, 150});
    TWindow* inner = Child(*front, "inner", {10, 10, 30, 30});
    EXPECT_EQ(root.ChildAt({60, 60}), front);
    EXPECT_EQ(root.ChildAt({40, 40}), back);
    EXPECT_EQ(root.ChildAt({150, 60}), &root) << "right edge excluded";
    EXPECT_EQ(root.ChildAt({199, 199}), &root);
    EXPECT_EQ(root.DeepestChildAt({65, 65}, -1), inner);
    EXPECT_EQ(root.DeepestChildAt({65, 65}, 1), nullptr) << "depth ran out";
    EXPECT_EQ(root.DeepestChildAt({80, 80}, -1), front);

    front->SetFlags(front->GetFlags() & ~TWindow::kEnabled);
    EXPECT_EQ(root.ChildAt({60, 60}), back) << "the disabled window is passed over";
    EXPECT_EQ(root.DeepestChildAt({65, 65}, -1), back);
    EXPECT_EQ(front->ChildAt({15, 15}), front) << "children of a disabled window are not hit";
    front->SetFlags(front->GetFlags() | TWindow::kEnabled);
    EXPECT_EQ(root.DeepestChildAt({65, 65}, -1), inner);

    // A modal root ends the enabled test: a disabled window above it does not count.
    TWindow outer;
    outer.SetFlags(0);
    auto* modal = new TModalWindow;
    outer.AddChild(modal, false);
    modal->SetSize(50, 50);
    TWindow* button = Child(*modal, "button", {0, 0, 10, 10});
    EXPECT_EQ(modal->ChildAt({5, 5}), button);
}

TEST(TWindowGeometry, ScreenRectAndPointConversions) {
    TWindow root;
    root.MoveTo(5, 5);
    root.SetSize(400, 300);
    TWindow* panel = Child(root, "panel", {10, 20, 110, 70});
    TWindow* button = Child(*panel, "button", {3, 4, 13, 9});
    const TRect screen = button->GetScreenRect();
    EXPECT_EQ(screen.left, 18);
    EXPECT_EQ(screen.top, 29);
    EXPECT_EQ(screen.right, 28);
    EXPECT_EQ(screen.bottom, 34);
    EXPECT_EQ(button->GetClientRect().right, 10);
    TPoint point{1, 2};
    button->LocalToScreen(point);
    EXPECT_EQ(point, (TPoint{19, 31}));
    button->ScreenToLocal(point);
    EXPECT_EQ(point, (TPoint{1, 2}));
    button->LocalToParent(point);
    EXPECT_EQ(point, (TPoint{4, 6}));
    button->ParentToLocal(point);
    EXPECT_EQ(point, (TPoint{1, 2}));

    panel->MoveTo(-10, 0);
    EXPECT_EQ(panel->GetWidth(), 100) << "MoveTo keeps the size";
    EXPECT_EQ(button->GetScreenRect().left, -2);
}

TEST(TWindowGeometry, ExtremeValuesSaturate) {
    TWindow window;
    window.MoveTo(INT_MAX - 10, INT_MIN);
    window.SetSize(100, -100);
    EXPECT_EQ(window.GetRect().right, INT_MAX);
    EXPECT_EQ(window.GetRect().bottom, INT_MIN);
    window.MoveTo(INT_MIN, 0);
    window.SetSize(INT_MAX, 0);
    window.MoveTo(0, 0);
    window.MoveTo(INT_MIN, 0);
    EXPECT_EQ(window.GetWidth(), INT_MAX);
    TWindow* child = Child(window, "c", {0, 0, 10, 10});
    child->MoveTo(-100, 0);
    EXPECT_EQ(child->GetScreenRect().left, INT_MIN);
    TPoint point{INT_MIN, INT_MAX};
    child->LocalToScreen(point);
    EXPECT_EQ(point, (TPoint{INT_MIN, INT_MAX}));
}

TEST(TWindowFlags, SetFlagsReplacesOnlyBits8To15) {
    TModalWindow modal;
    EXPECT_EQ(modal.GetFlags(), 0x103u);
    modal.SetFlags(0xFFFF0800);
    EXPECT_EQ(modal.GetFlags(), 0x803u);
    modal.SetFlags(0);
    EXPECT_EQ(modal.GetFlags(), 0x003u);
}

TEST(TWindowSpiders, ClearFlagsAndModalPopped) {
    std::vector<std::string> log;
    TWindow root;
    TWindow* a = new TProbeWindow("a", &log);
    TWindow* b = new TProbeWindow("b", &log);
    TWindow* a1 = new TProbeWindow("a1", &log);
    root.AddChild(b, false);
    root.AddChild(a, false);
    a->AddChild(a1, false);
    for (TWindow* window : {a, b, a1}) {
        window->SetFlags(0x900);
    }

    TWindowClearFlags shallow(~0x800u, false);
    root.VisitChildren(shallow, false);
    EXPECT_EQ(a->GetFlags(), 0x100u);
    EXPECT_EQ(a1->GetFlags(), 0x900u);
    TWindowClearFlags deep(~0x800u, true);
    root.VisitChildren(deep, false);
    EXPECT_EQ(a1->GetFlags(), 0x100u);

    TModalPoppedSpider popped;
    root.VisitChildren(popped, false);
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "a", "b"})) << "children before parents";
}

TEST(TWindowGeometry, FitToChildrenOnlyGrows) {
    TWindow parent;
    parent.SetSize(50, 200);
    Child(parent, "a", {10, 10, 120, 20});
    Child(parent, "b", {0, 150, 30, 180});
    parent.FitToChildren();
    EXPECT_EQ(parent.GetWidth(), 120);
    EXPECT_EQ(parent.GetHeight(), 200);
}

} // namespace
} // namespace window_tree_test
