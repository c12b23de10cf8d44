// The image buttons' state machine over a list, with an owner that records what it is told.
#include "ImageButton.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace skinui;

struct Owner final : IButtonOwner {
    struct Posted {
        unsigned msg;
        uintptr_t wp;
        intptr_t lp;
        bool operator==(const Posted&) const = default;
    };
    std::vector<Posted> posted;
    std::vector<unsigned> started, stopped;
    int draws = 0;
    void Post(unsigned m, uintptr_t wp, intptr_t lp) override { posted.push_back({m, wp, lp}); }
    void StartTimer(unsigned id, unsigned) override { started.push_back(id); }
    void StopTimer(unsigned id) override { stopped.push_back(id); }
    void Draw(CImageButton&) override { ++draws; }
};

// Three buttons side by side: a normal one (1), a toggle (97) and an auto-repeat PTZ button (26).
struct Panel : ::testing::Test {
    Owner owner;
    CButtonGroup group;
    CImageButton normal{group, L"Connect Button"}, toggle{group}, ptz{group};
    void SetUp() override
    {
        int x = 0;
        for (CImageButton* b : {&normal, &toggle, &ptz}) {
            b->rect = ButtonRect{x, 0, x + 10, 10};
            b->enabled = b->visible = 1;
            b->owner = &owner;
            x += 20;
        }
        normal.command = 1;
        toggle.command = 97;
        toggle.toggle = 1;
        ptz.command = 26;
        ptz.autoRepeat = 1;
        ptz.repeatInterval = 100;
        normal.next = &toggle;
        toggle.next = &ptz;
    }
    CImageButton& list() { return normal; }
};

TEST_F(Panel, SlidingOffAHeldPtzButtonEndsItsRepeatAtTheEdge)
{
    ASSERT_TRUE(list().MouseDown(45, 5));
    EXPECT_EQ(owner.started, std::vector<unsigned>{26});
    EXPECT_TRUE(group.OnRepeatTimer(26));
    EXPECT_FALSE(group.OnRepeatTimer(1)) << "not the repeating button's timer";
    list().MouseMove(kLeftHeld, 48, 5); // still inside: nothing new
    ASSERT_TRUE(list().MouseMove(kLeftHeld, 55, 5));
    const std::vector<Owner::Posted> expected = {
        {kMsgPressed, 26, 0}, {kMsgViewCommand, 26, 0}, {kMsgRepeatEnd, 26, 0}, {kMsgReleased, 26, 0}};
    EXPECT_EQ(owner.posted, expected);
    EXPECT_EQ(owner.stopped, std::vector<unsigned>{26});
    EXPECT_FALSE(group.OnRepeatTimer(26)) << "no button repeats after it was left";
    list().MouseUp(70, 5);
    EXPECT_EQ(owner.posted, expected) << "the later release says nothing more";
    EXPECT_EQ(ptz.state, kNormal);
}

TEST_F(Panel, ClicksOfNormalAndToggleButtons)
{
    list().MouseUp(5, 5); // up without a press
    list().MouseMove(kNoneHeld, 5, 5);
    list().MouseUp(5, 5); // up while hovering, never pressed
    EXPECT_TRUE(owner.posted.empty());

    list().MouseDown(5, 5);
    list().MouseUp(5, 5);
    for (int i = 0; i < 2; ++i) {
        list().MouseDown(25, 5);
        list().MouseUp(25, 5);
    }
    const std::vector<Owner::Posted> expected = {
        {kMsgPressed, 1, 0},  {kMsgViewCommand, 1, 0},      {kMsgReleased, 1, 0},
        {kMsgPressed, 97, 0}, {kMsgViewCommand, 97, 65537}, {kMsgReleased, 97, 0},
        {kMsgPressed, 97, 0}, {kMsgViewCommand, 97, 1},     {kMsgReleased, 97, 0}};
    EXPECT_EQ(owner.posted, expected);
    EXPECT_EQ(toggle.state, kHover);

    // A disabled button ignores the mouse until the view enables it again.
    owner.posted.clear();
    normal.enabled = 0;
    normal.state = kDisabled;
    list().MouseDown(5, 5);
    EXPECT_EQ(normal.state, kDisabled);
    EXPECT_TRUE(owner.posted.empty());
}

TEST_F(Panel, TheImageFollowsStateKindAndCheck)
{
    int n[4], c[4];
    toggle.SetNormalBitmaps(&n[0], &n[1], &n[2], nullptr);
    toggle.SetCheckedBitmaps(&c[0], &c[1], &c[2], &c[3]);
    EXPECT_EQ(toggle.Image(), &n[0]);
    toggle.state = kDisabled;
    EXPECT_EQ(toggle.Image(), &n[0]) << "a missing disabled image falls back to the set's normal one";

    // A checked toggle shows its pressed image while the pointer is elsewhere.
    toggle.state = kNormal;
    toggle.checked = 1;
    list().MouseMove(kNoneHeld, 25, 5);
    EXPECT_EQ(toggle.Image(), &c[1]);
    list().MouseMove(kNoneHeld, 75, 5);
    EXPECT_EQ(toggle.state, kPressed);
    EXPECT_EQ(toggle.Image(), &c[2]);

    toggle.visible = 0;
    EXPECT_EQ(toggle.Image(), nullptr);
    int before = owner.draws;
    list().DrawAll();
    EXPECT_EQ(owner.draws, before + 2) << "invisible buttons are not drawn";
}

// Each panel has its own held button and its own count of names.
TEST_F(Panel, AnotherPanelsButtonsAreApart)
{
    Owner otherOwner;
    CButtonGroup other;
    CImageButton named(other, L"Exit Button"), unnamed(other);
    EXPECT_EQ(std::wstring(named.name), L"Exit Button");
    EXPECT_EQ(std::wstring(unnamed.name), L"ImageButton_0002");
    EXPECT_EQ(std::wstring(toggle.name), L"ImageButton_0002");
    EXPECT_EQ(unnamed.command, -1);
    EXPECT_EQ(unnamed.enabled + unnamed.visible + unnamed.toggle + unnamed.state, 0);

    unnamed.rect = ptz.rect;
    unnamed.enabled = unnamed.visible = unnamed.autoRepeat = 1;
    unnamed.owner = &otherOwner;
    unnamed.command = 26;
    list().MouseDown(45, 5);
    unnamed.MouseDown(45, 5);
    EXPECT_TRUE(owner.stopped.empty()) << "holding a button on one panel lets go of none on another";
    EXPECT_TRUE(group.OnRepeatTimer(26));
    EXPECT_TRUE(other.OnRepeatTimer(26));
    EXPECT_EQ(owner.posted.back(), (Owner::Posted{kMsgViewCommand, 26, 0}));
    EXPECT_EQ(otherOwner.posted.back(), (Owner::Posted{kMsgViewCommand, 26, 0}));
}

} // namespace
