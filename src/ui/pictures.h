// The pictures the windows show: PNG files carried inside the program (src/ui/pictures/*.png, embedded by
// scripts/make-pictures.py into pictures/pictures.inc). Each knows its natural size.
#pragma once

#include "runtime/form.h"

namespace ui::pictures {

extern const runtime::Picture kMainBanner;    // 935 x 67, MainWindow's banner
extern const runtime::Picture kDialogBanner;  // 471 x 67, the banner of the three settings dialogs
extern const runtime::Picture kDisplay;       // 41 x 45, monitor
extern const runtime::Picture kColours;       // 39 x 41, colour palette
extern const runtime::Picture kSpeaker;       // 41 x 41, speaker
extern const runtime::Picture kKeyboard;      // 41 x 41, keyboard
extern const runtime::Picture kDevices;       // 41 x 41, plug
extern const runtime::Picture kPerformance;   // 47 x 47, speed gauge
extern const runtime::Picture kShield;        // 47 x 47, shield
extern const runtime::Picture kGateway;       // 47 x 43, globe
extern const runtime::Picture kMicrophone;    // 39 x 45, microphone

}  // namespace ui::pictures
