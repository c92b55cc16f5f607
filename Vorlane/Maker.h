// The maker of Vorlane: its domain name titles every message box, and the main window as
// "Vorlane by " + this name (spelled out in MainWindow.ui, where the title is a translatable text).
#pragma once

inline constexpr char Maker_Domain[] = "tamsel.dev";
