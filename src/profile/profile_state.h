// ProfileState: the connection-profile values that have no control on the main window (the choices of the
// audio, devices and RD gateway dialogs), the current desktop width and height, the remembered slider
// position and the list of display sizes. One lives for the program's life; it is used on the
// user-interface thread only (the start-up loader hands its changes there).
//
// All texts are GBK, as stored in table config.
#pragma once

#include <string>
#include <vector>

namespace profile {

struct ProfileState {
    // Audio dialog: playback "1" here, "2" not at all, "3" on the remote computer; recording "1" from here,
    // "2" not at all.
    std::string ypxz, yplz;
    // Devices dialog: smart cards, ports, all drives, video capture, other plug-and-play devices ("1"/"0").
    std::string znxz, dkxz, qdxz, spbhxz, qtzcxz;
    // RD gateway dialog: detect automatically, use these settings, server name, logon method ("0".."2"),
    // bypass for local addresses, do not use a gateway, use the gateway's credentials for the remote computer.
    std::string zdjcRD, syRD, RDmc, RDdl, bsybdRD, bsyRD, RDpj;
    // Desktop width and height in pixels (decimal digits) of the last size the slider showed.
    std::string kd, gd;
    // The slider position the all-monitors box returns to when it is cleared.
    int wz1 = 0;
    // Set once the stored profile is in the controls and here: before that, nothing may save or use it.
    bool loaded = false;
    // The display sizes the slider indexes ("1024 x 768 像素" ...), the last one "全屏".
    std::vector<std::string> DisplayModeList;
};

}  // namespace profile
