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

// The smallest client area the layout arranges for (pixels); smaller windows clip.
constexpr int kMinClientW = 760, kMinClientH = 520;
// The side bar is as wide as its longest translated button (German "Besuchen Sie ...").
constexpr int kLeftColumn = 256, kPanelLeft = 272, kPanelTop = 32;

}  // namespace kx::frm_main
