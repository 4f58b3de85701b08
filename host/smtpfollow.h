// Following one postgate session to its end, as the host contract asks: the
// progress pairs are read by SmtpWatch (smtpwatch.h) and, when shown,
// become lines and a changing progress line for the content: the percent
// of the message file the pairs give, turned into bytes of the file's
// size, with the rate and the time left.
#pragma once

#include "smtpwatch.h"

#include <windows.h>

// Waits for the session's last pair on window (pairs eventBase + 1023).
// messageBytes: the message file's size (-1 when unknown); show: lines
// and progress on stdout.
SmtpWatch followSmtpSession(HWND window, int eventBase, long long messageBytes, bool show = true);
