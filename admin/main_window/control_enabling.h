// Which controls of frmMain can be used, one procedure per situation: a folder
// picker open or closed, the processing service running, stopped or not
// installed, a manual processing run under way or ended, and a computer
// without the gateway.
//
// Each procedure puts a fixed set of controls into a fixed state and leaves
// the others alone.  Every one but setControlsNonVarnelServer ends with it
// when the gateway is not installed, so the service frame and the gateway's
// option menus stay off whatever else changes.
#pragma once

namespace travik {

class FrmMain;

inline constexpr const char* kFileLocationsCaption = "File Locations";
inline constexpr const char* kFileLocationsLockedCaption = "File Locations - No edit while service running";

void setControlsBrowseOn(FrmMain& window);
void setControlsBrowseOff(FrmMain& window);
void setControlsServiceInstalledStarted(FrmMain& window);
void setControlsServiceInstalledStopped(FrmMain& window);
void setControlsServiceUninstalled(FrmMain& window);
void setControlsManualProcessRunning(FrmMain& window);
void setControlsManualProcessStopped(FrmMain& window);
void setControlsNonVarnelServer(FrmMain& window);

}  // namespace travik
