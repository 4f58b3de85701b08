// What tarnwick.exe and the system's libraries agree on: the window
// messages the libraries post or the service sends, the registry values the
// network libraries read, and the signatures of every export the host
// calls. Each subcommand takes its constants and export types from here;
// loading a library is library.h's business.
#pragma once

#include <windows.h>

namespace contract {

// Progress pairs of tarnpop and postgate arrive as eventBase + 1023 at the
// window given to their init export; tarnwick passes WM_USER as eventBase.
constexpr int kEventBase = WM_USER;
constexpr int kProgressOffset = 1023;
constexpr UINT progressMessage(int eventBase) { return static_cast<UINT>(eventBase + kProgressOffset); }

// The dial-up progress of TARNDIAL: wParam the state, lParam the error.
constexpr UINT kDialProgress = WM_USER + 1;
constexpr int kDialConnected = 0x2000;
constexpr int kRasUnavailable = -1000;

// Unattended mode: the window the service host looks for, and the two
// messages it sends (no further step, then close).
constexpr char kAutoWindowTitle[] = "roziradedeze39";
constexpr UINT kStopStarting = WM_USER;      // 1024
constexpr UINT kCloseWindow = WM_USER - 1;   // 1023

// Registry: the ports the network libraries read, strings of digits.
constexpr char kPortsKey[] = "software\\tarnwick\\ports";
constexpr char kPopPortValue[] = "pop_out";
constexpr char kSmtpPortValue[] = "smtp_out";
constexpr int kDefaultPopPort = 110;
constexpr int kDefaultSmtpPort = 25;

// Widths the host passes or receives.
constexpr int kErrorBufferSize = 256;
constexpr int kDialNameLimit = 256;  // user name and password of TARNDIAL

}  // namespace contract

// Signatures of the exports, as the host declares them.
namespace tarn32 {
using FolderOp = int __stdcall(const char*);
using FileRename = int __stdcall(const char*, const char*);
using FindFile = int __stdcall(const char*, char*, const char*);
using ImpMail = int __stdcall(char*, char*, const char*, const char*, int);
using Read = int __stdcall(const char*, int, int, int, char*, char*);
using Write = int __stdcall(const char*, int, int*, int*, const char*, char*);
using FileAttach = int __stdcall(const char*, const char*, const char*, char*, int);
using ExpMail = int __stdcall(const char*, const char*, const char*, const char*, const char*, int);
using GenUucp = int __stdcall(const char*, const char*, const char*, const char*, char*, int);
using WriteUucp = int __stdcall(const char*, int*, int*, const char*, char*);
using MimeDecode = int __stdcall(const char*, const char*);
using WriteQuoted = int __stdcall(const char*, const char*, char*, int);
using MimeEncode = int __stdcall(const char*, const char*, const char*);
using DecodeIso = int __stdcall(const char*, const char*, char*);
using UuEncode = int __stdcall(const char*, const char*, const char*, const char*, int);
using ImpNews = int __stdcall(char*, char*, const char*, const char*, int, int);
using ExpNews = int __stdcall(char*, char*, const char*, int, int, int);
// Dial-up.
using Dial = int __stdcall(const int*, int, const char*, const char*, const char*, int);
using HangUp = int __stdcall();
using ConnectStatus = int __stdcall(int*, int*);
using DialParams = int __stdcall(const char*, char*, char*);
}  // namespace tarn32

namespace tarnpop {
using InitPopMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*, int);
using GetPopMail = int __stdcall(const char*, const char*);
}  // namespace tarnpop

namespace postgate {
using InitSmtpMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*,
                                   int, int, const char*);
using ConnectToHost = int __stdcall(const char*, const char*);
using DestroyIt = void __stdcall();
}  // namespace postgate

namespace qflush {
using QFlush = int __stdcall(const char*, const char*, const char*);
}  // namespace qflush
