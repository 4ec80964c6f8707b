#pragma once
// The allowed range of every numeric setting that has one: the counters of the settings
// dialog and the track bars of the level dialog. Values read from the settings file are
// clamped into these ranges, and the dialogs take their limits from here, so an edited file
// can never feed an overflowing or meaningless number into the station.
//
// The combo indices (ImageQ, Encode, Mod) are not clamped but fall back to the combo's default
// entry (MainWindow::applySettings); ScanDir and ColorType read any other value as their last
// choice; window position, device choices, PortNum and FileLoadNo have no fixed range.
#include <algorithm>
#include <array>

#include "app/settings.h"

struct SettingRange {
  int Settings::*field;
  const char* key;
  int min;
  int max;
};

inline constexpr std::array<SettingRange, 7> kSettingRanges = {{
    {&Settings::inGainPos, "InGainPos", -40, 40},           // input level, +40 dB .. -40 dB
    {&Settings::outGainPos, "OutGainPos", 0, 80},           // output level, 0 dB .. -80 dB
    {&Settings::timeoutSeconds, "TimeOut", 1, 300},         // reception time-out, seconds
    {&Settings::endFrameRepeat, "NumEtxData", 1, 30},       // end and abort frames
    {&Settings::saveMinimumBlocks, "SaveMinPass", 1, 300},  // error-free blocks to save a picture
    {&Settings::deleteAfterDays, "DeleteDay", 1, 365},  // age of stored pictures to delete, days
    {&Settings::callsignRepeat, "NumCallSend", 1, 12},  // callsign frames at the head
}};

// The same for the numbers of the [Rig] section.
inline constexpr std::array<SettingRange, 4> kRigSettingRanges = {{
    {&Settings::pttMethod, "PttMethod", 0, 2},     // serial port, rig, none
    {&Settings::rigModel, "RigModel", 0, 99999},   // Hamlib's model numbers
    {&Settings::rigSpeed, "RigSpeed", 0, 4000000},  // baud
    {&Settings::pttType, "PttType", 0, 3},         // CAT, DTR, RTS, CM108
}};

// The same for the numbers of the [Auto] section.
inline constexpr std::array<SettingRange, 6> kAutoSettingRanges = {{
    {&Settings::autoBsrRounds, "AutoBsrRounds", 1, 10},
    {&Settings::autoBsrTimeout, "AutoBsrTimeout", 10, 300},  // seconds
    {&Settings::channelHold, "ChannelHold", 1, 30},          // seconds
    {&Settings::cwWpm, "CwWpm", 10, 40},
    {&Settings::cwToneHz, "CwToneHz", 500, 2500},             // the passband
    {&Settings::txTimeLimit, "TxTimeLimit", 0, 60},           // minutes, 0: none
}};

// The range of one of the fields above.
consteval const SettingRange& settingRange(int Settings::*field) {
  for (const SettingRange& r : kSettingRanges)
    if (r.field == field) return r;
  throw "not a ranged setting";  // fails the compilation
}

// Brings every ranged setting to the nearest end of its range.
inline void clampToRanges(Settings& s) {
  for (const SettingRange& r : kSettingRanges) s.*r.field = std::clamp(s.*r.field, r.min, r.max);
  for (const SettingRange& r : kRigSettingRanges) s.*r.field = std::clamp(s.*r.field, r.min, r.max);
  for (const SettingRange& r : kAutoSettingRanges) s.*r.field = std::clamp(s.*r.field, r.min, r.max);
}
