#include "controls/system_colors.h"

#include <QGuiApplication>

#include "bitmap/color.h"
#include "controls/color_palette.h"

namespace vorlino {
namespace {

struct RoleOf {
  int index;  // system colour index
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// The nearest palette role for each system colour. Roles with no counterpart on the desktop
// (the desktop background, the captions) take the closest themed colour.
constexpr RoleOf kRoles[] = {
    {0, QPalette::Active, QPalette::Window},            // scroll bar
    {1, QPalette::Active, QPalette::Dark},              // background (desktop)
    {2, QPalette::Active, QPalette::Highlight},         // active caption
    {3, QPalette::Active, QPalette::Mid},               // inactive caption
    {4, QPalette::Active, QPalette::Window},            // menu
    {5, QPalette::Active, QPalette::Base},              // window
    {6, QPalette::Active, QPalette::Shadow},            // window frame
    {7, QPalette::Active, QPalette::WindowText},        // menu text
    {8, QPalette::Active, QPalette::Text},              // window text
    {9, QPalette::Active, QPalette::HighlightedText},   // caption text
    {10, QPalette::Active, QPalette::Button},           // active border
    {11, QPalette::Active, QPalette::Button},           // inactive border
    {12, QPalette::Active, QPalette::Mid},              // application workspace
    {13, QPalette::Active, QPalette::Highlight},        // highlight
    {14, QPalette::Active, QPalette::HighlightedText},  // highlight text
    {15, QPalette::Active, QPalette::Button},           // button face
    {16, QPalette::Active, QPalette::Dark},             // button shadow
    {17, QPalette::Disabled, QPalette::Text},           // gray text
    {18, QPalette::Active, QPalette::ButtonText},       // button text
    {19, QPalette::Disabled, QPalette::WindowText},     // inactive caption text
    {20, QPalette::Active, QPalette::Light},            // button highlight
    {21, QPalette::Active, QPalette::Shadow},           // 3-D dark shadow
    {22, QPalette::Active, QPalette::Midlight},         // 3-D light
    {23, QPalette::Active, QPalette::ToolTipText},      // info text
    {24, QPalette::Active, QPalette::ToolTipBase},      // info background
    {26, QPalette::Active, QPalette::Link},             // hot-tracked item
    {27, QPalette::Active, QPalette::Highlight},        // active caption gradient
    {28, QPalette::Active, QPalette::Mid},              // inactive caption gradient
    {29, QPalette::Active, QPalette::Highlight},        // menu highlight
    {30, QPalette::Active, QPalette::Window},           // menu bar
};

bool gLoaded = false;

}  // namespace

void loadSystemColors(const QPalette& palette) {
  for (const RoleOf& r : kRoles)
    setSystemColor(r.index, fromQColor(palette.color(r.group, r.role)));
  gLoaded = true;
}

void ensureSystemColorsLoaded() {
  if (!gLoaded) loadSystemColors(QGuiApplication::palette());
}

}  // namespace vorlino
