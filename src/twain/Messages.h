#pragma once

#include "core/MessageQueue.h"

#include <cstdint>

// Requests to the TWAIN worker thread.
constexpr uint32_t TWM_OPENDSM = WM_USER + 100;   // 1124
constexpr uint32_t TWM_CLOSEDSM = WM_USER + 101;  // 1125
constexpr uint32_t TWM_OPENDS = WM_USER + 102;    // 1126
constexpr uint32_t TWM_CLOSEDS = WM_USER + 103;   // 1127
constexpr uint32_t TWM_ENABLEDS = WM_USER + 104;  // 1128: WParam = ShowUI
constexpr uint32_t TWM_DISABLEDS = WM_USER + 105; // 1129
constexpr uint32_t TWM_TRIPLET = WM_USER + 106;   // 1130: Data = the request record
constexpr uint32_t TWM_PING = WM_USER + 111;      // 1135: start-up handshake
// A source called back through the manager; WParam = its MSG (MSG_XFERREADY,
// MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_DEVICEEVENT).
constexpr uint32_t TWM_SOURCEMESSAGE = WM_USER + 113; // 1137

// Messages of the event thread.
constexpr uint32_t TWM_NEXTXFER = WM_USER + 109;     // 1133: start the next transfer
constexpr uint32_t TWM_DETACH = WM_USER + 112;       // 1136: detach the event handlers
constexpr uint32_t TWM_CLOSEREQUEST = WM_USER + 140; // 1164: MSG_CLOSEDSREQ or MSG_CLOSEDSOK
constexpr uint32_t TWM_SOURCECLOSED = WM_USER + 141; // 1165: source closed, or selection ended
constexpr uint32_t TWM_DEVICEEVENT = WM_USER + 142;  // 1166: MSG_DEVICEEVENT
constexpr uint32_t TWM_FAILURE = WM_USER + 143;      // 1167: Data = the failure record
constexpr uint32_t TWM_STATE = WM_USER + 144;        // 1168: LParam = the new state
constexpr uint32_t TWM_XFERREADY = WM_USER + 145;    // 1169: MSG_XFERREADY
constexpr uint32_t TWM_DSMFAULT = WM_USER + 146;     // 1170: the manager raised; replace the worker
