#pragma once
// The [Rig] settings as the rig control takes them.
#include "app/settings.h"
#include "rig/rig_config.h"

// PttMethod's choices.
inline constexpr int kSerialPtt = 0;  // the serial port's DTR and RTS (PortStr)
inline constexpr int kRigPtt = 1;     // through the rig (Hamlib)
inline constexpr int kNoPtt = 2;      // none: the transmitter keys itself (VOX)

// The rig to connect: RigModel on RigPort; keying through the rig without a rig model uses
// Hamlib's simulated rig, which then drives only the PTT line (DTR or RTS of RigPort, or a
// CM108 pin). Model 0 when neither asks for rig control.
RigConfig rigConfigOf(const Settings& s);
