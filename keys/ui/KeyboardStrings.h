// String numbers of the keyboard reader's dialogs.
#pragma once

namespace veltra {

inline constexpr int kStrProgramName = 57344;
inline constexpr int kStrYes = 70100;
inline constexpr int kStrNo = 70101;
inline constexpr int kStrNoConnectionUsb = 151;
inline constexpr int kStrLayoutDiffers = 611;
inline constexpr int kStrDontShowAgain = 76500;
inline constexpr int kStrKeyboardLayout = 76501;
inline constexpr int kStrLoadFromDevice = 76502;
inline constexpr int kStrComputerSetting = 76503;
inline constexpr int kStrShowLayoutWarning = 76504;
inline constexpr int kStrHidFunctionTest = 76505;
inline constexpr int kStrKeyboard = 76506;

} // namespace veltra
