#pragma once
// The operator's settings. The settings file names each field by its own key (the table in
// settings_file.cpp); the comments below give the keys. While the program runs they are the main
// window's member `settings`; the file is read once at start-up and written once at close.
#include <string>

struct Settings {
  // [Form]
  int mainTop = 0;   // MainTop
  int mainLeft = 0;  // MainLeft
  // [Wave]
  int inputDevice = 0;   // Input: 0 = system default device, k >= 1 = device k - 1
  int outputDevice = 0;  // Output
  // The names of the chosen devices (empty: the system default), so a device that moved to
  // another number is found again. Keys of their own beside the numbers.
  std::string inputDeviceName;   // InputName
  std::string outputDeviceName;  // OutputName
  // Receiver: 0 = the tolerant receiver, 1 = the plain discriminator with fixed thresholds,
  // 2 = the coherent receiver with its equalizer (the default)
  int receiverKind = 2;
  // [IO]
  int portNumber = 0;    // PortNum
  std::string portPath;  // PortStr: the serial device that keys the radio
  // [Set]
  int scaleIndex = 10;         // ImageQ: Scale combo index into scaleTable
  int codeIndex = 0;           // Encode: Code combo index
  int modeIndex = 0;           // Mod: Mode combo index
  int inGainPos = 0;           // InGainPos
  int outGainPos = 10;         // OutGainPos
  bool autoSave = true;        // AutoSave: save every received picture
  std::string imageFile;       // ImageFile: the transmit image
  std::string callsign;        // Callsign
  bool showWaterfall = true;   // SubDisp: the signal display shows the waterfall, else the eye
  int browseIndex = 0;         // FileLoadNo: the stored image on display
  int timeoutSeconds = 15;     // TimeOut
  bool errorFreeOnly = false;  // NoErrDecode: decode only blocks with a good check
  int scanDirection = 2;       // ScanDir: 0 horizontal, 1 vertical, 2 random
  std::string imageEditorName = "Image_Processor";  // ImgEditName
  int waterfallColours = 1;                         // ColorType: the waterfall colour scheme
  bool waveLoop = false;                            // WaveLoop
  int endFrameRepeat = 10;                          // NumEtxData: end and abort frames sent
  bool overwriteBsrBlocks = true;                   // OverWrite
  bool saveMinimum = true;           // SaveMin: save only with enough error-free blocks
  int saveMinimumBlocks = 50;        // SaveMinPass
  bool deleteOnBsrOverwrite = true;  // DelImgBSR
  bool autoDelete = false;           // AutoDelete: delete old stored images at the close
  int deleteAfterDays = 120;         // DeleteDay
  int callsignRepeat = 5;            // NumCallSend: callsign frames at the head
  std::string logMode;               // LogMode
  std::string logReport = "15dB";    // LogSN
  std::string logBand = "40";        // LogBand
  bool showClock = false;            // ShowClock
  // [Recent] Picture1..Picture5: the pictures sent last, newest first (empty: none)
  std::string recentPicture1;
  std::string recentPicture2;
  std::string recentPicture3;
  std::string recentPicture4;
  std::string recentPicture5;
  // [Rig] How the transmitter is keyed, and the rig under rig control (Hamlib).
  int pttMethod = 0;      // PttMethod: 0 the serial port's DTR/RTS (portPath), 1 the rig, 2 none (VOX)
  int rigModel = 0;       // RigModel: Hamlib's model number; 0 = no rig control
  std::string rigPort;    // RigPort: the rig's serial device, or host:port of a rigctld
  int rigSpeed = 0;       // RigSpeed: serial speed in baud; 0 = the rig's default
  int pttType = 0;        // PttType: through the rig: 0 CAT command, 1 DTR, 2 RTS, 3 CM108 GPIO
  std::string pttDevice;  // PttDevice: the PTT line's device when not the rig's port (/dev/hidraw0)
  // [Log] Contacts and heard stations handed to other programs.
  bool autoLog = false;    // AutoLog: a closed picture reception with blocks is logged as "Log out" does
  std::string udpServer;   // UdpServer: host:port of a logging program's WSJT-X UDP port; empty: off
  bool pskReporter = false;  // PskReporter: heard callsigns reported to the reception-report service
  std::string locator;       // Locator: this station's Maidenhead locator
  std::string pskReporterServer = "report.pskreporter.info:4739";  // PskReporterServer
  // [Auto] Automatic operation; everything off by default.
  bool autoBsr = false;      // AutoBsr: request and answer missing blocks without a press
  int autoBsrRounds = 3;     // AutoBsrRounds: requests per received picture at most
  int autoBsrTimeout = 30;   // AutoBsrTimeout: seconds of silence after a request before giving up
  int channelHold = 2;       // ChannelHold: seconds the channel must be free before sending
  bool cwId = false;         // CwId: the callsign in Morse after every transmission
  int cwWpm = 20;            // CwWpm: its speed in words per minute
  int cwToneHz = 1500;       // CwToneHz: its tone
  int txTimeLimit = 15;      // TxTimeLimit: minutes a transmission may last (0: no limit)

  friend bool operator==(const Settings&, const Settings&) = default;
};
