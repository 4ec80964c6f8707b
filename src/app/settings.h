#pragma once
// The operator's settings, named by their keys in the settings file. While the program runs
// they are fields of the main window (MainWindow derives from this struct); the file is read once
// at start-up and written once at close.
#include <string>

struct Settings {
  // [Form]
  int mainTop = 0;
  int mainLeft = 0;
  // [Wave]
  int inputDevice = 0;   // 0 = system default device, k >= 1 = device k - 1
  int outputDevice = 0;
  // The names of the chosen devices (empty: the system default), so a device that moved to
  // another number is found again. Keys of their own beside the numbers.
  std::string inputDeviceName;
  std::string outputDeviceName;
  int receiverKind = 0;  // 0 = the tolerant receiver, 1 = the plain discriminator with fixed thresholds
  // [IO]
  int portNumber = 0;
  std::string portPath;
  // [Set]
  int scaleIndex = 10;  // Scale combo index into scaleTable
  int codeIndex = 0;   // Code combo index
  int modeIndex = 0;      // Mode combo index
  int inGainPos = 0;
  int outGainPos = 10;
  bool autoSave = true;
  std::string imageFile;
  std::string callsign;
  bool showWaterfall = true;
  int browseIndex = 0;
  int timeoutSeconds = 15;
  bool errorFreeOnly = false;
  int scanDirection = 2;
  std::string imageEditorName = "Image_Processor";
  int waterfallColours = 1;
  bool waveLoop = false;
  int endFrameRepeat = 10;
  bool overwriteBsrBlocks = true;
  bool saveMinimum = true;
  int saveMinimumBlocks = 50;
  bool deleteOnBsrOverwrite = true;
  bool autoDelete = false;
  int deleteAfterDays = 120;
  int callsignRepeat = 5;
  std::string logMode;
  std::string logReport = "15dB";
  std::string logBand = "40";
  bool showClock = false;
  // [Rig] How the transmitter is keyed, and the rig under rig control (Hamlib).
  int PttMethod = 0;      // 0 the serial port's DTR/RTS (PortStr), 1 through the rig, 2 none (VOX)
  int RigModel = 0;       // Hamlib's model number; 0 = no rig control
  std::string RigPort;    // the rig's serial device, or host:port of a rigctld
  int RigSpeed = 0;       // serial speed in baud; 0 = the rig's default
  int PttType = 0;        // through the rig: 0 CAT command, 1 DTR, 2 RTS, 3 CM108 GPIO
  std::string PttDevice;  // the device of the PTT line when not the rig's port (/dev/hidraw0)

  friend bool operator==(const Settings&, const Settings&) = default;
};
