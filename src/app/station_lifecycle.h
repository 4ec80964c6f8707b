#pragma once
// Bringing a station up from its folders and taking it down again, in the window's order.
#include <memory>

#include "app/app_paths.h"
#include "app/main_window.h"

// The program's own text, shown at start-up when the settings switch wave loop mode on.
inline constexpr const char* kWaveLoopWarning = "Pelimo is Lunched wave loop mode";

// Added to the message that the settings file could not be read.
inline constexpr const char* kUnreadSettingsNote =
    "; the station runs on the default settings and will not write that file";

// Builds the main window and runs its construction in order: the data folder, the settings
// from paths.settingsFile, the wave-loop warning, the clamps and the default transmit image
// (paths.defaultTxImage), the TX tab, the deletion of old stored images when AutoDelete is
// set, the output then the input device, and created(). The window layer calls activated()
// when the window is first shown.
std::unique_ptr<MainWindow> startStation(const AppPaths& paths, Platform& platform,
                                         StationDevices devices = {});

// The close, then the destruction: closing() (old images, settings saved) and destroying().
void stopStation(MainWindow& form);
