// What the main window's source files share: units, settings sections and the layout's
// fixed measures.
#pragma once

namespace kx::frm_main {

constexpr int kPx = 15;  // twips per pixel at 96 DPI
constexpr int T(int px) { return px * kPx; }

constexpr const char* kOptions = "OptionAndSettings";
constexpr const char* kSettings = "Settings";
constexpr const char* kDrives = "Drives";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The side bar is as wide as its longest translated button (German "Besuchen Sie ...").
constexpr int kLeftColumn = 256, kPanelLeft = 272, kPanelTop = 32;
// The Settings tabs' pages, the widest panel content, and the margins a panel puts around them.
constexpr int kSettingsPageW = 548, kPageMargins = 32;
// The smallest client area the layout arranges for (pixels), and the smallest the window can
// be sized to: the side bar and the widest panel beside it.
constexpr int kMinClientW = kPanelLeft + kPageMargins + kSettingsPageW + 8, kMinClientH = 520;

}  // namespace kx::frm_main
