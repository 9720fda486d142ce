#pragma once
// CAPI 2.0 result codes used by this program (0 is success everywhere).

inline constexpr unsigned CapiNoError = 0x0000;
// Registration.
inline constexpr unsigned CapiRegOsResourceErr = 0x1008;
inline constexpr unsigned CapiRegNotInstalled = 0x1009;
// Message exchange.
inline constexpr unsigned CapiIllegalAppl = 0x1101;
inline constexpr unsigned CapiIllegalCommand = 0x1102; // also: message shorter than its header
inline constexpr unsigned CapiSendQueueFull = 0x1103;
inline constexpr unsigned CapiReceiveQueueEmpty = 0x1104;
inline constexpr unsigned CapiMsgOsResourceErr = 0x1108;
inline constexpr unsigned CapiMsgNotInstalled = 0x1109;
// Parameters.
inline constexpr unsigned CapiIllegalParameterCoding = 0x2007;
