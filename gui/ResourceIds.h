#pragma once
// Every resource id of the monitor's windows, menus and commands. Each widget, action and menu
// carries its constant's name as objectName, so tests and tools find it the same way by id.

struct ResourceId {
    int id;
    const char* objectName;
};

namespace Ids {
// Main window and its controls.
inline constexpr ResourceId MainDialog{102, "IDD_MONITOR_DIALOG"};
inline constexpr ResourceId CallView{1000, "IDC_CALL_LIST"};
inline constexpr ResourceId DayTabs{1023, "IDC_DAY_TABS"};
inline constexpr ResourceId AppIcon{128, "IDR_MAINFRAME"};
inline constexpr ResourceId MainMenu{129, "IDR_MAIN_MENU"};
inline constexpr ResourceId SystemMenu{129, "IDR_MAIN_MENU_SYSTEM"}; // the menu bar's pop-up
inline constexpr ResourceId TrayMenu{130, "IDR_TRAY_MENU"};
inline constexpr ResourceId TrayIcon{999, "IDI_TRAY"};

// Commands of both menus.
inline constexpr ResourceId CmdOptions{32771, "ID_SYSTEM_OPTIONS"};
inline constexpr ResourceId CmdExit{32772, "ID_SYSTEM_EXIT"};
inline constexpr ResourceId CmdShow{32773, "ID_SHOW"};

// Window messages of the listener and the tray icon.
inline constexpr int WmIncomingCall = 0x0400 + 10;
inline constexpr int WmTrayIcon = 0x0400 + 11;

// Standard buttons.
inline constexpr ResourceId Ok{1, "IDOK"};
inline constexpr ResourceId Cancel{2, "IDCANCEL"};

// "edit data": one directory entry.
inline constexpr ResourceId EditDataDialog{131, "IDD_EDIT_DATA"};
inline constexpr ResourceId EditNumber{1007, "IDC_EDIT_NUMBER"};
inline constexpr ResourceId EditName{1008, "IDC_EDIT_NAME"};
inline constexpr ResourceId EditSpeak{1009, "IDC_EDIT_SPEAK"};
inline constexpr ResourceId EditSpeakLabel{1019, "IDC_STATIC_SPEAK"};

// "incoming call" popup.
inline constexpr ResourceId PopupDialog{134, "IDD_POPUP"};
inline constexpr ResourceId PopupText{1012, "IDC_POPUP_TEXT"};

// Options sheet, "main" page.
inline constexpr ResourceId OptStartMinimized{1010, "IDC_START_MINIMIZED"};
inline constexpr ResourceId OptHideWhenMinimized{1011, "IDC_HIDE_WHEN_MINIMIZED"};
inline constexpr ResourceId OptSystemBeep{1013, "IDC_SYSTEM_BEEP"};
inline constexpr ResourceId OptDisplaySeconds{1014, "IDC_DISPLAY_SECONDS"};
inline constexpr ResourceId OptFontLabel{1015, "IDC_FONT_LABEL"};
inline constexpr ResourceId OptFontSelect{1017, "IDC_FONT_SELECT"};
inline constexpr ResourceId OptPlaySound{1020, "IDC_PLAY_SOUND"};
inline constexpr ResourceId OptSpeak{1021, "IDC_SPEAK"};
inline constexpr ResourceId OptSpeakTemplate{1009, "IDC_SPEAK_TEMPLATE"};
inline constexpr ResourceId OptUnknownSpeakText{1022, "IDC_UNKNOWN_SPEAK_TEXT"};
inline constexpr ResourceId OptOnlyNamedMsns{1024, "IDC_ONLY_NAMED_MSNS"};

// Options sheet, "caller" and "MSN" pages.
inline constexpr ResourceId OptCallerList{1006, "IDC_CALLER_LIST"};
inline constexpr ResourceId OptMsnList{1009, "IDC_MSN_LIST"};
inline constexpr ResourceId OptAdd{1003, "IDC_ADD"};
inline constexpr ResourceId OptChange{1004, "IDC_CHANGE"};
inline constexpr ResourceId OptDelete{1005, "IDC_DELETE"};

// Options sheet, speech page.
inline constexpr ResourceId OptEngineList{1026, "IDC_ENGINE_LIST"};
inline constexpr ResourceId OptTestText{1027, "IDC_TEST_TEXT"};
inline constexpr ResourceId OptTest{1028, "IDC_TEST"};
inline constexpr ResourceId OptSpeed{1029, "IDC_SPEED"};
inline constexpr ResourceId OptPitch{1030, "IDC_PITCH"};
inline constexpr ResourceId OptSpeedValue{1031, "IDC_SPEED_VALUE"};
inline constexpr ResourceId OptPitchValue{1032, "IDC_PITCH_VALUE"};
inline constexpr ResourceId OptVolume{1033, "IDC_VOLUME"};
inline constexpr ResourceId OptVolumeValue{1034, "IDC_VOLUME_VALUE"};

// Options sheet, telnet page.
inline constexpr ResourceId OptTelnetEnabled{1013, "IDC_TELNET_ENABLED"};
inline constexpr ResourceId OptTelnetPort{1041, "IDC_TELNET_PORT"};
inline constexpr ResourceId OptTelnetUserId{1033, "IDC_TELNET_USERID"};
inline constexpr ResourceId OptTelnetPassword{1034, "IDC_TELNET_PASSWORD"};
} // namespace Ids
