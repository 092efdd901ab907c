// The display driver's device key and the names of the values the installer
// stores and reads there. Everything that touches the key takes its names from
// here.
#ifndef ORVEX_INSTALL_DEVICE_KEY_H
#define ORVEX_INSTALL_DEVICE_KEY_H

// Under HKEY_LOCAL_MACHINE. (A macro as well, for arrays initialised with it.)
#define ORVEX_DEVICE_KEY_PATH "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0"
inline constexpr char kDeviceKeyPath[] = ORVEX_DEVICE_KEY_PATH;

// Stored by the installer.
inline constexpr char kValueBusType[] = "BusType";         // REG_DWORD 1 OPTI, 2 VESA, 3 PCI
inline constexpr char kValueMemBase[] = "MemBase";         // REG_DWORD
inline constexpr char kValueMemSize[] = "MemSize";         // REG_DWORD
inline constexpr char kValueMemConfig[] = "MemConfig";     // REG_DWORD
inline constexpr char kValueFontSize[] = "FontSize";       // REG_DWORD
inline constexpr char kValueMonitorType[] = "MonitorType"; // REG_SZ with its NUL
inline constexpr char kValueCrtTiming[] = "CrtTiming";     // REG_BINARY, 56 bytes

// Read by the installer: the display's default mode.
inline constexpr char kValueXResolution[] = "DefaultSettings.XResolution";
inline constexpr char kValueYResolution[] = "DefaultSettings.YResolution";
inline constexpr char kValueVRefresh[] = "DefaultSettings.VRefresh";

// Every value above, in that order.
inline constexpr const char *kDeviceValueNames[] = {
    kValueBusType,     kValueMemBase,   kValueMemSize,     kValueMemConfig,   kValueFontSize,
    kValueMonitorType, kValueCrtTiming, kValueXResolution, kValueYResolution, kValueVRefresh,
};

#endif
