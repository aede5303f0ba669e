// The on-screen keyboard's model: its buttons, what a click does and what
// Flip enables.
#include <gtest/gtest.h>

#include <set>

#include "keys/key_panel.h"

namespace keyloom::keys {
namespace {

constexpr int kKeyA = 1058, kEsc = 1022, kG3 = 1002, kG9 = 1143, kD1 = 1016, kF1 = 1010;

TEST(KeyPanel, EveryButtonOnceWithItsPlaceInTheSkin) {
  const std::vector<PanelButton>& buttons = PanelButtons();
  ASSERT_EQ(buttons.size(), 105u + 9u + 1u + 6u);
  std::set<int> ids;
  std::set<std::string> layout_keys;
  for (const PanelButton& b : buttons) {
    EXPECT_TRUE(ids.insert(b.controlId).second) << b.controlId;
    if (!b.layoutKey.empty()) {
      EXPECT_TRUE(layout_keys.insert(b.layoutKey).second) << b.layoutKey;
    }
  }
  struct Case {
    int id;
    PanelButtonKind kind;
    const char* layout;
    int position;
    bool enabled;
  };
  const Case cases[] = {
      {kKeyA, PanelButtonKind::Ordinary, "KEY_01E", 64, true},
      {1084, PanelButtonKind::Ordinary, "KEY_0DB", 106, true},  // Left Win: 0x15B folds to 0xDB
      {1118, PanelButtonKind::Ordinary, "KEY_09C", 104, true},  // Num Enter
      {1000, PanelButtonKind::GKey, "FUNC_G1", 125, true},
      {1004, PanelButtonKind::GKey, "FUNC_G5", 125, true},
      {1140, PanelButtonKind::GKey, "FUNC_G6", 125, false},
      {kG9, PanelButtonKind::GKey, "FUNC_G9", 125, false},
      {kFnControlId, PanelButtonKind::Fn, "KEY_FN", 110, true},
      {kD1, PanelButtonKind::DKey, "", -1, false},
      {1021, PanelButtonKind::DKey, "", -1, false},
  };
  for (const Case& c : cases) {
    const PanelButton* b = FindPanelButton(c.id);
    ASSERT_NE(b, nullptr) << c.id;
    EXPECT_EQ(b->kind, c.kind) << c.id;
    EXPECT_EQ(b->layoutKey, c.layout) << c.id;
    EXPECT_EQ(b->colourPosition, c.position) << c.id;
    EXPECT_EQ(b->startsEnabled, c.enabled) << c.id;
  }
  EXPECT_EQ(FindPanelButton(1057), nullptr) << "the hidden second Enter is no button of the panel";
}

TEST(KeyPanel, WhatAClickDoes) {
  using A = KeyClickAction;
  struct Case {
    int id;
    bool panelOpen;
    int effect;
    A action;
  };
  const Case cases[] = {
      // Panel closed: keys open the key-setting dialog, Fn does nothing.
      {kKeyA, false, 20, A::OpenKeyDialog},
      {kEsc, false, 1, A::OpenKeyDialog},
      {kD1, false, 20, A::OpenKeyDialog},
      {kG3, false, 1, A::OpenKeyDialog},
      {kFnControlId, false, 20, A::Nothing},
      // Panel open with per-key colours shown: keys and Fn paint.
      {kKeyA, true, 20, A::PaintKey},
      {kFnControlId, true, 20, A::PaintKey},
      // ... but a D key has no colour of its own and must not paint Esc.
      {kD1, true, 20, A::Nothing},
      // G keys always open the dialog.
      {kG3, true, 20, A::OpenKeyDialog},
      {kG9, true, 5, A::OpenKeyDialog},
      // Panel open with another effect: nothing at all.
      {kKeyA, true, 5, A::Nothing},
      {kFnControlId, true, 19, A::Nothing},
      {kD1, true, 5, A::Nothing},
      // Not a key.
      {1135, false, 0, A::Nothing},
      {1057, false, 0, A::Nothing},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ActionOfKeyClick(c.id, c.panelOpen, c.effect), c.action) << c.id << " " << c.panelOpen << " " << c.effect;
}

TEST(KeyPanel, FlipDecidesF1ToF4AndD1ToD6Only) {
  struct Case {
    int id;
    bool decides;
    bool enabledAt0;
  };
  const Case cases[] = {{kF1, true, true},  {1013, true, true},  {1014, false, true}, {kD1, true, false},
                        {1021, true, false}, {1022, false, true}, {1015, false, true}, {kKeyA, false, true}};
  for (const Case& c : cases) {
    const FlipState at0 = FlipStateOf(c.id, 0);
    const FlipState at1 = FlipStateOf(c.id, 1);
    EXPECT_EQ(at0.decides, c.decides) << c.id;
    EXPECT_EQ(at1.decides, c.decides) << c.id;
    if (!c.decides) continue;
    EXPECT_EQ(at0.enabled, c.enabledAt0) << c.id;
    EXPECT_EQ(at1.enabled, !c.enabledAt0) << c.id;
  }
}

}  // namespace
}  // namespace keyloom::keys
