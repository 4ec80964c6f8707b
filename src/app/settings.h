#pragma once
// The operator's settings, named by their keys in the settings file. While the program runs
// they are fields of the main window (TForm1 derives from this struct); the file is read once
// at start-up and written once at close.
#include <string>

struct Settings {
  // [Form]
  int MainTop = 0;
  int MainLeft = 0;
  // [Wave]
  int Input = 0;   // 0 = system default device, k >= 1 = device k - 1
  int Output = 0;
  // The names of the chosen devices (empty: the system default), so a device that moved to
  // another number is found again. Keys of their own beside the numbers.
  std::string InputName;
  std::string OutputName;
  int Receiver = 0;  // 0 = the tolerant receiver, 1 = the plain discriminator with fixed thresholds
  // [IO]
  int PortNum = 0;
  std::string PortStr;
  // [Set]
  int ImageQ = 10;  // Scale combo index into scaleTable
  int Encode = 0;   // Code combo index
  int Mod = 0;      // Mode combo index
  int InGainPos = 0;
  int OutGainPos = 10;
  bool AutoSave = true;
  std::string ImageFile;
  std::string Callsign;
  bool SubDisp = true;
  int FileLoadNo = 0;
  int TimeOut = 15;
  bool NoErrDecode = false;
  int ScanDir = 2;
  std::string ImgEditName = "Image_Processor";
  int ColorType = 1;
  bool WaveLoop = false;
  int NumEtxData = 10;
  bool OverWrite = true;
  bool SaveMin = true;
  int SaveMinPass = 50;
  bool DelImgBSR = true;
  bool AutoDelete = false;
  int DeleteDay = 120;
  int NumCallSend = 5;
  std::string LogMode;
  std::string LogSN = "15dB";
  std::string LogBand = "40";
  bool ShowClock = false;
  // [Rig] How the transmitter is keyed, and the rig under rig control (Hamlib).
  int PttMethod = 0;      // 0 the serial port's DTR/RTS (PortStr), 1 through the rig, 2 none (VOX)
  int RigModel = 0;       // Hamlib's model number; 0 = no rig control
  std::string RigPort;    // the rig's serial device, or host:port of a rigctld
  int RigSpeed = 0;       // serial speed in baud; 0 = the rig's default
  int PttType = 0;        // through the rig: 0 CAT command, 1 DTR, 2 RTS, 3 CM108 GPIO
  std::string PttDevice;  // the device of the PTT line when not the rig's port (/dev/hidraw0)

  friend bool operator==(const Settings&, const Settings&) = default;
};
